// Placeholder until the provider lands.
int main() { return 1; }
