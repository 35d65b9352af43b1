#include "front/usage.h"

#include <ostream>
#include <span>
#include <spanstream>

#include "registry/message_box.h"

namespace {

constexpr char VERSION[] = TONVANE_VERSION;  // from the build
constexpr char AUTHOR[] = "Caldreth";
constexpr char BUILD_DATE[] = __DATE__;
constexpr char BUILD_TIME[] = __TIME__;

// Static and zero-filled: the stream writes no NUL of its own, and the text
// is written only once per run, so the zeros after it terminate it.
char usage_text[1024];

}  // namespace

void ShowUsage() {
    std::ospanstream text(std::span<char>(usage_text, sizeof usage_text));
    text << PROGRAM_NAME << " v" << VERSION << " by " << AUTHOR << " " << BUILD_DATE << " "
         << BUILD_TIME << std::endl;
    text << "USAGE:" << std::endl;
    text << PROGRAM_NAME << " <Driver>" << std::endl;
    text << "Where <Driver> is the driver name you want the MIDI stream to flow to." << std::endl;
    ShowMessage(usage_text);
}
