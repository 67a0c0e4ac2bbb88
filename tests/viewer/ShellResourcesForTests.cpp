#include <gtest/gtest.h>

#include "shell/ShellResources.h"

namespace {

// The window tests build the real main window, which needs the shell's menus, dialogs and
// strings installed once the application object exists.
class ShellResourcesEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { InstallShellResources(); }
};

const ::testing::Environment* const kShellResources =
    ::testing::AddGlobalTestEnvironment(new ShellResourcesEnvironment);

}  // namespace
