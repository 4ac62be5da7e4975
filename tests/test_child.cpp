// A child for the tests where no standard program will do (chiefly on Windows): each argument is one step,
// run in order.
// clang-format off
//   o:HEX    the bytes (given in hex) on stdout, in one write
//   e:HEX    the bytes on stderr, in one write
//   w:N      N bytes of 64-byte text lines on stdout
//   l:TEXT   TEXT and a line break on stdout
//   s:MS     a pause of MS milliseconds
//   g:MS     leaves a grandchild holding stdout that writes "late\n" after MS milliseconds
//   z        a write of zero bytes
//   i        Ctrl+C (SIGINT) ignored from here on, by what it starts too
//   other    the argument itself as "[argument]\n"
// clang-format on
#include "test_child.h"

#include <string>
#include <vector>

using namespace test_child;

namespace {

void Print(int stream, const std::string& text) {
    Write(stream, text.data(), text.size());
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string Lines(std::size_t size) {
    std::string text;
    while (text.size() < size)
        text += "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_\n";
    text.resize(size);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    PrepareStreams();
    for (const std::string& step : std::vector<std::string>(argv + 1, argv + argc)) {
        const char kind = step.size() > 2 && step[1] == ':' ? step[0] : '?';
        const std::string value = kind == '?' ? std::string() : step.substr(2);
        if (kind == 's')
            SleepMilliseconds(std::stoi(value));
        else if (kind == 'g' && !StartGrandchild(std::stoi(value)))
            return 4;
        else if (kind == 'o' || kind == 'e')
            Print(kind == 'e' ? 2 : 1, FromHex(value));
        else if (kind == 'w')
            Print(1, Lines(std::stoul(value)));
        else if (kind == 'l')
            Print(1, value + "\n");
        else if (step == "z")
            Write(1, "", 0);
        else if (step == "i")
            IgnoreInterrupt();
        else if (kind != 'g')
            Print(1, "[" + step + "]\n");
    }
    return 0;
}
