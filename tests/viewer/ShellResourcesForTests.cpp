#include <gtest/gtest.h>

#include "viewer/ToolsMenu.h"

namespace {

// The window tests build the real main window, which needs the program's menus (the viewer's
// Tools pop-up with them), dialogs and strings installed once the application object exists.
class ShellResourcesEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { InstallViewerResources(); }
};

const ::testing::Environment* const kShellResources =
    ::testing::AddGlobalTestEnvironment(new ShellResourcesEnvironment);

}  // namespace
