#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// What the dial-up engine asks of the system's dial-up service, in the terms
// of the Windows one (its connection states and error codes), so the
// engine's status mapping and texts hold whatever serves them.
namespace tarnwick
{

// Connection states the engine names (RASCONNSTATE values).
namespace dialstate
{
inline constexpr int OpenPort = 0;
inline constexpr int ConnectDevice = 2;
inline constexpr int DeviceConnected = 3;
inline constexpr int Authenticate = 5;
inline constexpr int AuthNotify = 6;
inline constexpr int Authenticated = 14;
inline constexpr int Projected = 18;
inline constexpr int Connected = 8192;
inline constexpr int Disconnected = 8193;
} // namespace dialstate

class DialBackend
{
public:
    struct Connection {
        std::string entry;
        std::string device;
        bool connected = false;
        int handle = 0; // what hangUp needs to end it
    };
    // Progress of a dial, from a thread of the back end's: a state, an error
    // code (0 for none) and a detail: with Connected the link's local
    // address, with a failure the service's own last words (maybe none).
    using Notifier = std::function<void(int state, int error, const std::string& detail)>;

    // Ends (joins) the threads it notifies from: none reports after it is gone.
    virtual ~DialBackend() = default;
    virtual bool installed() const = 0;
    // Why this user cannot dial, in words for the user; empty when installed.
    virtual std::string unavailableReason() const { return {}; }
    // The phone book's entry names in its order; nothing when it cannot be read.
    virtual std::optional<std::vector<std::string>> entries() const = 0;
    // The machine's active connections; nothing when they cannot be listed.
    virtual std::optional<std::vector<Connection>> connections() const = 0;
    virtual void hangUp(const Connection& connection) = 0;
    // 0 when the entry's dial parameters can be read, else an error code.
    virtual int readDialParams(const std::string& entry) = 0;
    // Stores user name and password in the entry (the password stays stored);
    // 0 or an error code.
    virtual int storeCredentials(
        const std::string& entry, const std::string& user, const std::string& password)
        = 0;
    // Starts dialing in the background; 0 when it runs, else an error code.
    virtual int dial(const std::string& entry, Notifier notify) = 0;
    // The system's text for an error code.
    virtual std::string errorText(int code) const = 0;
};

} // namespace tarnwick
