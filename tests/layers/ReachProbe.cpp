// Compiled against one layer's include folder with PROBE_HEADER naming a header: the layering
// tests expect it to compile for a header the layer may use and to fail for one past it.
#include PROBE_HEADER

int main() {
    return 0;
}
