#include "dialup/TDialUp.h"

#include <exception>

namespace tarnwick
{

namespace
{

// More entries or connections than the service's buffers hold read as none.
constexpr std::size_t kMaxRecords = 100;

} // namespace

TDialUp::TDialUp(
    std::unique_ptr<DialBackend> backend, Dispatcher& dispatcher, std::function<void()> processEvents)
    : m_backend(std::move(backend))
    , m_dispatcher(dispatcher)
    , m_processEvents(std::move(processEvents))
{
}

TDialUp::~TDialUp() = default;

bool TDialUp::RasInstalled() const
{
    return m_backend && m_backend->installed();
}

std::vector<std::string> TDialUp::PossibleConnections() const
{
    if (!RasInstalled())
        return {};
    auto entries = m_backend->entries();
    if (!entries || entries->size() > kMaxRecords)
        return {};
    return *entries;
}

std::string TDialUp::CurrentConnection() const
{
    if (!RasInstalled())
        return {};
    const auto connections = m_backend->connections();
    if (!connections || connections->size() > kMaxRecords)
        return {};
    std::string current;
    for (const auto& c : *connections) {
        if (c.connected)
            current = c.entry + " (" + c.device + ")";
    }
    return current;
}

void TDialUp::HangUpAll()
{
    if (!RasInstalled())
        return;
    for (int pass = 0; pass < 7; ++pass) {
        if (const auto connections = m_backend->connections();
            connections && connections->size() <= kMaxRecords) {
            for (const auto& c : *connections)
                m_backend->hangUp(c);
        }
        if (m_processEvents)
            m_processEvents();
    }
}

DialStatusText TDialUp::DescribeStatus(int state, int errorCode) const
{
    return describeStatus(state, errorCode, LangStrList, ConnectTo,
        [this](int code) { return m_backend ? m_backend->errorText(code) : std::string(); });
}

void TDialUp::report(const std::string& text, bool error)
{
    if (OnStatusEvent)
        OnStatusEvent(text, error);
}

bool TDialUp::Dial()
{
    if (!RasInstalled())
        return false;
    try {
        HangUpAll();
        if (const int code = m_backend->readDialParams(ConnectTo); code != 0) {
            HangUpAll();
            report("无法读取线路“" + ConnectTo + "”的拨号参数：" + m_backend->errorText(code), true);
            return false;
        }
        if (const int code = m_backend->storeCredentials(ConnectTo, Username, Password); code != 0) {
            HangUpAll();
            report("无法把用户名和密码保存到线路“" + ConnectTo + "”：" + m_backend->errorText(code), true);
            return false;
        }
        if (const int code
            = m_backend->dial(ConnectTo, [this](int state, int error) { onProgress(state, error); });
            code != 0) {
            const std::string text = m_backend->errorText(code);
            HangUpAll();
            report(text, true);
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        HangUpAll();
        report(e.what(), true);
        return false;
    }
}

// The one-slot mailbox: the hand-over returns only once the GUI thread has
// taken the status, so the next one waits for the slot, and the order holds.
void TDialUp::onProgress(int state, int errorCode)
{
    m_dispatcher.invoke([this, state, errorCode] {
        const DialStatusText s = DescribeStatus(state, errorCode);
        report(s.text, s.error);
    });
}

} // namespace tarnwick
