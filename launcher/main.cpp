// The launcher program: everything it does is in launcher_core, so that tests can run it whole.
#include "launcher/LauncherMain.h"

int main() {
    return launcher::launcherMain();
}
