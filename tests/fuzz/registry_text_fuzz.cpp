// Fuzzes FinishRegistryText: a line "size queried fill", then the bytes a query left in the area.
#include "fuzz_support.h"

#include "../../src/record/registry_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in{data, size};
    std::vector<unsigned long long> n = TakeNumbers(in, 3, 0);
    unsigned long stored = (unsigned long)n[0];
    int queried = n[1] != 0;
    std::string bytes = TakeBytes(in).substr(0, REG_TEXT_SIZE);

    // The area beyond the input's bytes holds the fill byte, as if left from before.
    std::string before(REG_TEXT_SIZE, (char)n[2]);
    before.replace(0, bytes.size(), bytes);
    std::unique_ptr<char[]> out(new char[REG_TEXT_SIZE]);
    memcpy(out.get(), before.data(), REG_TEXT_SIZE);
    int ok = FinishRegistryText(out.get(), stored, queried);

    Check(Terminated(out.get(), REG_TEXT_SIZE), "the text is not terminated within the area");
    size_t changed = 0;
    for (size_t i = 0; i < REG_TEXT_SIZE; ++i) {
        if (out[i] != before[i]) changed += out[i] == '\0' ? 1 : 2;
    }
    Check(changed <= 1, "more than one terminator written into the area");
    if (ok) {
        Check(queried && stored <= REG_TEXT_SIZE, "a text from a failed query or from beyond the area");
        Check(before.substr(0, strnlen(before.data(), stored)) == out.get(), "the text is not the stored data");
    } else {
        Check(out[0] == '\0', "a failure leaves text behind");
    }
    if (queried && stored < REG_TEXT_SIZE) Check(ok, "data with room for its terminator is refused");
    if (queried && stored == REG_TEXT_SIZE && before.back() == '\0') Check(ok, "a full area ending in NUL is refused");
    if (stored == REG_TEXT_SIZE && !Terminated(before.data(), REG_TEXT_SIZE)) Check(!ok, "256 bytes without a NUL taken as a text");
    return 0;
}
