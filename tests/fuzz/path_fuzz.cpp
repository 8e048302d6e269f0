// Fuzzes the backslash handling of paths: an area size for ParentFolder on the first line, then the path.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in{data, size};
    unsigned area = (unsigned)(TakeNumbers(in, 1, 512)[0] % 1025);
    std::string path = AsText(TakeBytes(in));
    std::vector<size_t> starts = CharacterStarts(path);
    bool endsWithBackslash = !starts.empty() && starts.back() == path.size() - 1 && path.back() == '\\';

    std::unique_ptr<char[]> text = HeapText(path);
    Check(EndsWithBackslash(text.get()) == endsWithBackslash, "a trail byte 0x5C taken for a backslash, or one missed");

    StripTrailingBackslashes(text.get());
    Check(WithoutTrailingBackslashes(path) == text.get(), "the stripped path differs from the whole-character one");

    // The parent ends after the last whole backslash before the one that ends the path.
    size_t parent = 0;
    if (endsWithBackslash) {
        for (size_t i = 0; i + 1 < starts.size(); ++i) {
            if (path[starts[i]] == '\\') parent = starts[i] + 1;
        }
    }
    // An install folder is exactly an absolute folder followed by the brand and title levels, and
    // an absolute folder begins with its volume root, itself absolute.
    text = HeapText(path);
    int absolute = IsAbsoluteFolder(text.get());
    if (path.size() < 1000) {
        Check(IsInstallFolderOf((path + "b\\t\\").c_str(), "b", "t") == absolute,
              "an install folder not made of an absolute folder and the two levels");
    }
    std::unique_ptr<char[]> root = HeapArea((unsigned)path.size() + 1);
    int rooted = VolumeRoot(text.get(), root.get(), (unsigned)path.size() + 1);
    Check(rooted == absolute, "a volume root given for a folder that is not absolute, or none for one that is");
    Check(!rooted || (path.compare(0, strlen(root.get()), root.get()) == 0 && IsAbsoluteFolder(root.get())),
          "the volume root is not the absolute start of the folder");

    std::unique_ptr<char[]> out = HeapArea(area);
    int ok = ParentFolder(text.get(), out.get(), area);
    if (area == 0) {
        Check(!ok, "a parent folder composed into no room");
        return 0;
    }
    Check(Terminated(out.get(), area), "the parent folder is not terminated within the area");
    if (parent == 0 || parent >= area) {
        Check(!ok && out[0] == '\0', "a parent folder given where there is none or it does not fit");
    } else {
        Check(ok && path.substr(0, parent) == out.get(), "the parent folder differs from the whole-character one");
    }
    return 0;
}
