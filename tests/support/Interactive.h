#pragma once

#include "Process.h"

#include <chrono>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarnwick::test
{

// A program run with a pipe on its standard input, for a dialogue: wait for
// it to print something, answer or close the input, then collect the rest.
class Interactive
{
public:
    Interactive(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {});
    ~Interactive(); // kills a program still running
    Interactive(const Interactive&) = delete;
    Interactive& operator=(const Interactive&) = delete;

    // True once standard output holds `text`; false at the limit or its end.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds limit);
    void write(const std::string& text);
    void closeInput();
    // Whether it has ended by now (collecting what it printed meanwhile).
    bool ended();
    // Waits for its end: killed past the limit (timedOut set).
    ProcessResult finish(std::chrono::milliseconds limit);

private:
    // Reads what is there within `wait`; false once both outputs ended.
    bool pump(std::chrono::milliseconds wait);
    bool reap(bool block);

    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    int m_err = -1;
    bool m_reaped = false;
    ProcessResult m_result;
};

} // namespace tarnwick::test
