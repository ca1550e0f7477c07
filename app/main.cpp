#include <cstdio>

#include "app/Startup.h"

int main() {
    return kelsor::RunKelsorOCR(stdout);
}
