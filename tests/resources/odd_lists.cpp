// A program that exists only to carry odd_lists.rc; it is never run.
int main()
{
    return 0;
}
