// The window arrives with the desktop issue; until then the tool starts and ends.
int main() { return 0; }
