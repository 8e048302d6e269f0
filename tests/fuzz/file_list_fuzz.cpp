// Fuzzes ParseFileList: the input is the list text, checked against a plain split at commas.
#include "fuzz_support.h"

#include "../../src/install/plan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in{data, size};
    std::string list = AsText(TakeBytes(in));

    std::vector<std::string> pieces(1);
    for (char c : list) {
        if (c == ',') pieces.emplace_back();
        else pieces.back() += c;
    }
    // The first fault in the list decides the status.
    int expected = FILE_LIST_OK;
    size_t whole = pieces.size();
    for (size_t i = 0; i < pieces.size() && expected == FILE_LIST_OK; ++i) {
        if (i >= LIST_MAX_NAMES) expected = FILE_LIST_TOO_MANY_NAMES;
        else if (pieces[i].size() >= LIST_NAME_SIZE) expected = FILE_LIST_NAME_TOO_LONG;
        if (expected != FILE_LIST_OK) whole = i;
    }

    // The slots are one block of exactly their size: ASan's redzone right after it is the guard
    // that any write past the last slot hits.
    std::unique_ptr<char[][LIST_NAME_SIZE]> names(new char[LIST_MAX_NAMES][LIST_NAME_SIZE]);
    memset(names.get(), 'x', sizeof(char[LIST_MAX_NAMES][LIST_NAME_SIZE]));
    std::unique_ptr<char[]> text = HeapText(list);
    int count = -1;
    int status = ParseFileList(text.get(), names.get(), &count);

    Check(status == expected, "the status is not that of the list's first fault");
    if (status == FILE_LIST_OK) Check((size_t)count == pieces.size(), "the count is not the number of names");
    Check(count >= 0 && (size_t)count <= whole, "the count covers names that are not whole");
    for (int i = 0; i < count; ++i) {
        Check(Terminated(names[i], LIST_NAME_SIZE), "a name is not terminated within its slot");
        Check(pieces[i] == names[i], "a name differs from the list's");
    }
    return 0;
}
