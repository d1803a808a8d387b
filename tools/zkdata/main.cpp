// zkdata: generates the game's default data pack.
int main() { return 0; }
