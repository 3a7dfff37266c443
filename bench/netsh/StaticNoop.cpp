// Linked as netsh is and does nothing: nine starts of it are the floor for
// any way of carrying out the nine commands as separate programs.
int main()
{
    return 0;
}
