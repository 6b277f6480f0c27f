// Program entry of the player.
int main() { return 0; }
