// Fuzzes the re-registration paths: an area size on the first line, then one part per line.
#include "fuzz_support.h"

#include "../../src/app/reregister_paths.h"

namespace {

// Checks one composition into an area of exactly size bytes against the plain concatenation.
void CheckComposed(int ok, const char *out, size_t size, const std::string &expected)
{
    Check(ok == (expected.size() < size), "a path refused though it fits, or taken though it does not");
    if (size == 0) return;
    Check(Terminated(out, size), "the path is not terminated within the area");
    Check(ok ? expected == out : out[0] == '\0', "the path differs from the concatenation, or a refusal left text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in{data, size};
    size_t area = TakeNumbers(in, 1, 512)[0] % 1100;
    std::string folder = AsText(TakeLine(in));
    std::string name = AsText(TakeLine(in));
    std::unique_ptr<char[]> a = HeapText(folder), b = HeapText(name);

    std::unique_ptr<char[]> out = HeapArea(area);
    CheckComposed(ComposeExpectedUninstaller(a.get(), b.get(), out.get(), area), out.get(), area, folder + name);
    return 0;
}
