// Fuzzes ComposeInstallFolder: an area size on the first line, then the typed folder text.
#include "fuzz_support.h"

#include "../../src/install/plan.h"

namespace {

const char kBrand[] = "kestrelix";
const char kTitle[] = "Velvet Tinkers";

struct Composed {
    int ok;
    std::string folder;
};

// Composes typed into an area of exactly size bytes and checks what any call must leave there.
Composed Compose(const std::string &typed, size_t size)
{
    std::unique_ptr<char[]> text = HeapText(typed);
    std::unique_ptr<char[]> out = HeapArea(size);
    int ok = ComposeInstallFolder(text.get(), kBrand, kTitle, out.get(), size);
    if (size == 0) {
        Check(!ok, "a folder composed into no room");
        return {0, ""};
    }
    Check(Terminated(out.get(), size), "the folder is not terminated within the area");
    Check(ok || out[0] == '\0', "a refused folder leaves text behind");
    return {ok, out.get()};
}

// Whether text ends with a lead byte that has no trail byte, which the separator would become.
bool EndsInsideCharacter(const std::string &text)
{
    std::vector<size_t> starts = CharacterStarts(text);
    return !starts.empty() && starts.back() == text.size() - 1 && IsLeadByte((unsigned char)text.back());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in{data, size};
    size_t area = TakeNumbers(in, 1, 512)[0] % 2049;  // the installer's own area is 512 bytes
    std::string typed = AsText(TakeBytes(in));

    Composed got = Compose(typed, area);
    std::string stripped = WithoutTrailingBackslashes(typed);
    std::string expected = stripped + "\\" + kBrand + "\\" + kTitle + "\\";
    if (got.ok) {
        Check(got.folder == expected, "the folder differs from the whole-character composition");
    } else if (typed.size() < LIST_TEXT_SIZE) {  // longer texts than the composition's own area may be refused
        Check(expected.size() >= area, "a folder that fits is refused");
    }

    // One, two or no backslashes after the same folder name give one folder.
    if (stripped == typed && !EndsInsideCharacter(typed) && typed.size() + 2 < LIST_TEXT_SIZE) {
        Composed one = Compose(typed + "\\", area);
        Composed two = Compose(typed + "\\\\", area);
        Check(one.ok == got.ok && one.folder == got.folder, "a trailing backslash changes the folder");
        Check(two.ok == got.ok && two.folder == got.folder, "two trailing backslashes change the folder");
    }
    return 0;
}
