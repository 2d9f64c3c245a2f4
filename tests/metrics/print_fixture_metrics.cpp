// Prints the fixture records' metrics: what promtool checks, and how the
// golden text is made anew after a deliberate change:
//   print_fixture_metrics > tests/metrics/metrics_fixture.prom
#include <iostream>

#include "metrics_fixture.h"

int main() {
    const varnock::console::MetricsFixture fixture;
    std::cout << fixture.Text();
    return std::cout.flush() ? 0 : 1;
}
