// Program entry of zubokranz.
int main() { return 0; }
