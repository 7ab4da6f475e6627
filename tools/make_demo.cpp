// Writes the demo session's WAV tracks (placeholder until the generator lands).
int main() { return 0; }
