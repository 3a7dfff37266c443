#include "app/gui/TFabout.h"

#include "app/gui/Artwork.h"
#include "base/Version.h"
#include "ui_TFabout.h"

#include <QLabel>
#include <QPushButton>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

namespace tarnwick::gui
{

const QStringList& TFabout::infoLines()
{
    static const QStringList lines = {
        QStringLiteral("    如果您电脑的IP地址经常要换来换去（比如：笔记本用户在家"),
        QStringLiteral("里需要一套配置，在公司又是一套），每次都这样：IP、网关、子"),
        QStringLiteral("网掩码、DNS服务器等一个个设过来是不是感觉很不方便?用笔记本"),
        QStringLiteral("的朋友会知道，到不同地方后要来回转换IP地址，相当麻烦，现在"),
        QStringLiteral("做一个工具，使切换IP不再麻烦。本程序能很方便的将你从繁琐的"),
        QStringLiteral("IP配置中解脱出来。适合于需要快速更改网络配置的朋友。"),
        QStringLiteral("    自动保存不同网络设置，可在不同网络间自由切换而不需要重"),
        QStringLiteral("新启动电脑，适合于Windows 98se以上操作系统(Win2k、WinXp、"),
        QStringLiteral("Win2003、Win7)。"),
        QStringLiteral("    本软件为免安装绿色软件，可直接运行，不写任何注册表信"),
        QStringLiteral("息。"),
        QStringLiteral("    1.2012.5.18 V3.0版，加入拨号功能。"),
    };
    return lines;
}

TFabout::TFabout(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::TFabout>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowCloseButtonHint);
    setFixedSize(535, 343);
    m_ui->Image1->setPixmap(stripFrame(149, 343, 0));
    m_ui->Image2->setPixmap(bannerPicture());
    // The same words as the desktop entry's comment.
    m_ui->cxLVersion->setText(QStringLiteral("Tarnwick  版本：V") + QLatin1String(kVersion));
    m_ui->cxRichEdit1->document()->setDocumentMargin(2);
    m_ui->cxRichEdit1->setPlainText(infoLines().join(QLatin1Char('\n')));
    connect(m_ui->cxButton1, &QPushButton::clicked, this, &QDialog::accept);

    m_animation = new QTimer(this);
    m_animation->setInterval(50);
    connect(m_animation, &QTimer::timeout, this,
        [this] { m_ui->Image1->setPixmap(stripFrame(149, 343, ++m_frame)); });
}

TFabout::~TFabout() = default;

void TFabout::showEvent(QShowEvent* event)
{
    // Centred on the main window.
    if (parentWidget())
        move(parentWidget()->geometry().center() - rect().center());
    m_animation->start();
    QDialog::showEvent(event);
}

void TFabout::hideEvent(QHideEvent* event)
{
    m_animation->stop();
    QDialog::hideEvent(event);
}

} // namespace tarnwick::gui
