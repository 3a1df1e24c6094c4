#include "game/main_loop.h"

int main(int argc, char** argv) {
    morvelle::RunGame(argc, argv);
}
