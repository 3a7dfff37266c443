// Helper of the crash-safety test: swaps the first two records of the
// configuration file named by argv[1], saving after each swap, until killed.
#include "base/MessageSink.h"
#include "store/ConfigList.h"

#include <cstdio>
#include <exception>

namespace
{
class QuietSink : public tarnwick::MessageSink
{
public:
    void show(Kind, const std::string&, const std::string&) override { }
};
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 64;
    QuietSink sink;
    try {
        for (;;) {
            // Listed afresh each time, as the window does after every move.
            const auto listed = tarnwick::loadConfigTable(argv[1], sink);
            if (!listed
                || tarnwick::moveConfig(argv[1], *listed, 0, tarnwick::MoveDirection::Down, sink)
                    != tarnwick::EditResult::Done)
                return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
}
