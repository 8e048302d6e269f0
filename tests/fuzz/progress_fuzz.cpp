// Fuzzes ProgressPosition: one line "copied total other", other being a second copied figure.
#include "fuzz_support.h"

#include "../../src/install/plan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in{data, size};
    std::vector<unsigned long long> n = TakeNumbers(in, 3, 0);
    unsigned long long copied = n[0], total = n[1], other = n[2];

    int position = ProgressPosition(copied, total);
    Check(position >= 0 && position <= 100, "the position is outside 0..100");
    if (total == 0) {
        Check(position == 0, "an empty total moves the bar");
        return 0;
    }
    Check(ProgressPosition(total, total) == 100, "a finished copy is not at 100");
    if (copied >= total) {
        Check(position == 100, "a copy past its total is not at 100");
    } else {
        // Exact in 128 bits; the figure may round up by one where the product would overflow.
        unsigned long long exact = (unsigned long long)((unsigned __int128)copied * 100 / total);
        Check(position < 100, "an unfinished copy shows 100");
        Check((unsigned long long)position >= exact && (unsigned long long)position <= exact + 1,
              "the position is off the copied share");
    }
    unsigned long long low = copied < other ? copied : other;
    unsigned long long high = copied < other ? other : copied;
    Check(ProgressPosition(low, total) <= ProgressPosition(high, total), "the bar moves back");
    return 0;
}
