// printconv: the desktop program. It takes no options; everything it needs comes from its
// settings and language files.
#include "app/app_state.h"
#include "app/startup.h"

int main() {
    AppState state;
    return runApplication(state);
}
