// mdbdeploy: installs its archive into the platform's runtime directory.
#include "InstallerMain.h"

int main(int argc, char** argv) { return nInstallerMain(argc, argv); }
