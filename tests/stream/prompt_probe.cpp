// Echoes standard input line by line through the standard text stream: a prompt "> ", then
// each line read back in brackets, until standard input ends.
#include "stream/text_stream.h"

int main() {
    using namespace vexel;
    while (!StandardTextStream()->Eof()) {
        const String line = PromptLine(u"> ");
        PrintLine(u"[" + line + u"]");
    }
    return 0;
}
