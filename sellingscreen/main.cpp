#include "sellingscreen/SellingMain.h"

// The purchase screen takes no arguments: everything it shows and opens comes from the archives.
int main() {
    return selling::sellingMain();
}
