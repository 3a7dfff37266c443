#include "TextCodec.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace tarnwick
{
namespace
{

std::string convert(std::string_view in, const char* to, const char* from)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("no converter from ") + from + " to " + to);
    std::string out;
    out.resize(in.size() * 2 + 16);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    std::size_t done = 0;
    while (inLeft > 0) {
        char* outPtr = out.data() + done;
        std::size_t outLeft = out.size() - done;
        const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        done = out.size() - outLeft;
        if (rc != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // An invalid or truncated sequence: keep the byte visible as U+FFFD
        // (or '?') rather than dropping the rest of the text.
        const std::string_view bad = (std::string_view(to) == "UTF-8") ? "\xEF\xBF\xBD" : "?";
        if (out.size() - done < bad.size())
            out.resize(out.size() * 2);
        out.replace(done, bad.size(), bad);
        done += bad.size();
        ++inPtr;
        --inLeft;
    }
    iconv_close(cd);
    out.resize(done);
    return out;
}

} // namespace

std::string utf8ToGb(std::string_view utf8)
{
    return convert(utf8, "GB18030", "UTF-8");
}

std::string gbToUtf8(std::string_view gb)
{
    return convert(gb, "UTF-8", "GB18030");
}

std::size_t gbLength(std::string_view utf8)
{
    return utf8ToGb(utf8).size();
}

} // namespace tarnwick
