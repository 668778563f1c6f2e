#include "EditorFixture.h"
#include "layers/LayersController.h"
#include "store/StoreFolders.h"

#include <filesystem>

TEST_F(EditorFixture, TheWindowOpensWithItsPartsAndClosingItSavesTheProfile) {
    auto& dlg = window();
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Tavirex Corvane Configurator");
    ASSERT_TRUE(dlg.tree() && dlg.keyboardView() && dlg.conditions() && dlg.keyProperties());
    saveScreenshots(dlg, "main-window");

    ASSERT_TRUE(services().layers.Editing().NewLayer({}, {}));
    dlg.close();
    settle();
    const std::filesystem::path layers = KVStoreFolders().layersFolder();
    EXPECT_TRUE(std::filesystem::exists(layers) && !std::filesystem::is_empty(layers))
        << "closing the editor writes the configuration";
}
