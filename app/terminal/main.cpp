#include <cstdio>

int main() {
  std::puts("kavrin-dfu: under construction");
  return 0;
}
