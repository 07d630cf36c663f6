// Stands in for explorer.exe beside the program under test: the home page that the window
// program opens at one start in a hundred is not opened in a test.
int main() {
  return 0;
}
