#include "app/gui/TDM.h"

#include <QCoreApplication>

namespace tarnwick::gui
{

TDM::TDM(std::unique_ptr<DialBackend> dialService, QObject* parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("DM"));
    useDialBackend(std::move(dialService));
}

void TDM::useDialBackend(std::unique_ptr<DialBackend> backend)
{
    // Statuses are delivered by the GUI thread's event loop, queued on this
    // module, which lives as long as the component.
    m_dialUp = std::make_unique<TDialUp>(
        std::move(backend),
        [this](std::function<void()> action) {
            QMetaObject::invokeMethod(this, std::move(action), Qt::QueuedConnection);
        },
        [] { QCoreApplication::processEvents(); });
}

} // namespace tarnwick::gui
