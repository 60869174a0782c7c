// Linked with every object file of fetchora_core and nothing but QtCore and
// QtNetwork: the build fails here when the core reaches for windows.
int main()
{
    return 0;
}
