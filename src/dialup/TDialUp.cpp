#include "dialup/TDialUp.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <set>

namespace tarnwick
{

namespace
{

// More entries or connections than the service's buffers hold read as none.
constexpr std::size_t kMaxRecords = 100;

} // namespace

// The one-slot mailbox between a dial's thread and the GUI thread: the
// thread waits until the slot is empty, fills it and asks the GUI thread to
// deliver; the GUI thread takes it and empties it. So statuses arrive in
// order, one at a time, none lost while the component lives.
struct TDialUp::Mailbox {
    std::mutex mutex;
    std::condition_variable emptied;
    bool pending = false;
    int serial = 0;
    int state = 0;
    int error = 0;
    std::string detail;
    TDialUp* owner = nullptr; // null once the component is gone: threads stop waiting
};

TDialUp::TDialUp(std::unique_ptr<DialBackend> backend, Post post, std::function<void()> processEvents)
    : m_backend(std::move(backend))
    , m_mailbox(std::make_shared<Mailbox>())
    , m_post(std::move(post))
    , m_processEvents(std::move(processEvents))
{
    m_mailbox->owner = this;
}

TDialUp::~TDialUp()
{
    {
        std::lock_guard lock(m_mailbox->mutex);
        m_mailbox->owner = nullptr;
    }
    m_mailbox->emptied.notify_all();
    // The back end joins its threads: freed from the mailbox above, none is
    // still reporting (or posting to the GUI thread) once it is gone.
    m_backend.reset();
}

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

std::string TDialUp::UnavailableReason() const
{
    if (!m_backend)
        return "没有可用的拨号服务";
    return m_backend->installed() ? std::string() : m_backend->unavailableReason();
}

int TDialUp::HangUpAll()
{
    // Whatever the dial still reports ends with it, not as its outcome.
    m_open = false;
    if (!RasInstalled())
        return 0;
    std::set<int> ended;
    for (int pass = 0; pass < 7; ++pass) {
        if (const auto connections = m_backend->connections();
            connections && connections->size() <= kMaxRecords) {
            for (const auto& c : *connections) {
                m_backend->hangUp(c);
                ended.insert(c.handle);
            }
        }
        if (m_processEvents)
            m_processEvents();
    }
    return static_cast<int>(ended.size());
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

void TDialUp::deliver(int serial, int state, int error, const std::string& detail)
{
    const DialStatusText text = DescribeStatus(state, error);
    const bool ends = text.error || state == dialstate::Disconnected || state == dialstate::Connected;
    const bool outcome = ends && serial == m_serial && m_open;
    if (outcome)
        m_open = false;
    report(text.text, text.error);
    if (outcome && OnDialOutcome) {
        if (state == dialstate::Connected && !text.error)
            OnDialOutcome({ true, {}, detail });
        else
            OnDialOutcome({ false, detail.empty() ? text.text : text.text + "：" + detail, {} });
    }
}

void TDialUp::fail(const std::string& text)
{
    m_open = false;
    report(text, true);
    if (OnDialOutcome)
        OnDialOutcome({ false, text, {} });
}

bool TDialUp::Dial()
{
    if (!RasInstalled())
        return false;
    try {
        HangUpAll();
        if (const int code = m_backend->readDialParams(ConnectTo); code != 0) {
            HangUpAll();
            fail("无法读取线路“" + ConnectTo + "”的拨号参数：" + m_backend->errorText(code));
            return false;
        }
        if (const int code = m_backend->storeCredentials(ConnectTo, Username, Password); code != 0) {
            HangUpAll();
            fail("无法把用户名和密码保存到线路“" + ConnectTo + "”：" + m_backend->errorText(code));
            return false;
        }
        // The notifier holds the mailbox, never the component: a dial's
        // thread may report after the component is gone.
        const std::weak_ptr<Mailbox> weak = m_mailbox;
        const Post post = m_post;
        const int serial = ++m_serial;
        const auto notify = [weak, post, serial](int state, int error, const std::string& detail) {
            const auto mailbox = weak.lock();
            if (!mailbox)
                return;
            std::unique_lock lock(mailbox->mutex);
            mailbox->emptied.wait(lock, [&] { return !mailbox->pending || !mailbox->owner; });
            if (!mailbox->owner)
                return;
            mailbox->pending = true;
            mailbox->serial = serial;
            mailbox->state = state;
            mailbox->error = error;
            mailbox->detail = detail;
            lock.unlock();
            post([weak] {
                const auto box = weak.lock();
                if (!box)
                    return;
                std::unique_lock taken(box->mutex);
                if (!box->owner || !box->pending)
                    return;
                const int n = box->serial, s = box->state, e = box->error;
                const std::string said = box->detail;
                TDialUp* owner = box->owner;
                box->pending = false;
                taken.unlock();
                box->emptied.notify_all();
                owner->deliver(n, s, e, said);
            });
        };
        // Open before the back end starts: its first status may come at once.
        m_open = true;
        if (const int code = m_backend->dial(ConnectTo, notify); code != 0) {
            const std::string text = m_backend->errorText(code);
            HangUpAll();
            fail(text);
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        HangUpAll();
        fail(e.what());
        return false;
    }
}

} // namespace tarnwick
