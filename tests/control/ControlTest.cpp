// The request protocol and the commands, on a layer cake built in the test.

#include "conditions/ConditionEnvironment.h"
#include "control/ControlCommands.h"
#include "control/ControlProtocol.h"
#include "core/MessageDispatch.h"
#include "layers/Layer.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"
#include "support/ManualLoop.h"

#include <gtest/gtest.h>

namespace {

using corvane::control::decodeAnswer;
using corvane::control::decodeRequest;
using corvane::control::encodeAnswer;
using corvane::control::encodeRequest;

TEST(ControlProtocol, RequestsAndAnswersSurviveTheLineAndMalformedLinesAreRefused) {
    const KVControlRequest request{"export", {"Work \"home\"", "/tmp/a b.layers", "Ünïcode"}};
    const auto decoded = decodeRequest(encodeRequest(request));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->command, request.command);
    EXPECT_EQ(decoded->arguments, request.arguments);
    EXPECT_EQ(encodeRequest(request).find('\n'), std::string::npos);

    for (const char* bad :
         {"", "show", "{", "[]", "{\"command\": 3}", "{\"command\": \"list\", \"arguments\": [1]}",
          "{\"command\": \"list\", \"arguments\": \"x\"}"})
        EXPECT_FALSE(decodeRequest(bad)) << bad;

    const auto refused = decodeAnswer(encodeAnswer(KVControlAnswer::refused("no such layer")));
    ASSERT_TRUE(refused);
    EXPECT_FALSE(refused->ok);
    EXPECT_EQ(refused->error, "no such layer");
    // A name read from disk that is not UTF-8 must not make the answer unsendable.
    const auto odd = decodeAnswer(encodeAnswer(KVControlAnswer::done(nlohmann::json{{"name", "\xff\xfe"}})));
    ASSERT_TRUE(odd);
    EXPECT_TRUE(odd->ok);
    EXPECT_FALSE(decodeAnswer("{\"ok\": \"yes\"}"));
}

KVPtr<KVLayersItem> layer(const std::string& id, const std::string& name) {
    auto item = std::make_shared<KVLayer>();
    item->setIdentifier(id);
    item->setDisplayName(name);
    return item;
}

class ControlCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_cake.setUpUserLayers({});
        auto user = m_cake.userLayers();
        user->items().add(layer("{A}", "Work"));
        user->items().add(layer("{B}", "Games"));
        user->items().add(layer("{C}", "Games"));
    }
    KVControlCommands commands() {
        KVControlServices services{m_cake, m_layers, m_dispatch, {}, {}, {}, {}, nullptr, {}, {}};
        services.save = [this] { return ++m_saves, m_saveWorks; };
        services.answeredBy = "profile";
        return KVControlCommands(std::move(services));
    }

    KVManualLoop m_loop;
    CKVMessageDispatch m_dispatch{m_loop};
    KVPtr<KVConditionEnvironment> m_environment = std::make_shared<KVConditionEnvironment>();
    KVLayerCake m_cake{KVLayerLoadContext{m_environment, nullptr}};
    KVLayersController m_layers{m_dispatch, m_cake, m_environment};
    int m_saves = 0;
    bool m_saveWorks = true;
};

TEST_F(ControlCommandsTest, ItemsAreFoundByIdentifierThenByAnUnambiguousName) {
    auto control = commands();
    std::string error;
    EXPECT_EQ(control.findItem("Work", error)->identifier(), "{A}");
    EXPECT_EQ(control.findItem("{C}", error)->identifier(), "{C}");
    EXPECT_FALSE(control.findItem("Games", error));
    EXPECT_NE(error.find("2 items"), std::string::npos) << error;
    EXPECT_FALSE(control.findItem("Nothing", error));
    EXPECT_NE(error.find("Nothing"), std::string::npos) << error;
}

TEST_F(ControlCommandsTest, ChangesAreSavedAndAFailedSaveIsReportedAsAFailure) {
    auto control = commands();
    const auto disabled = control.execute({"disable", {"Work"}});
    ASSERT_TRUE(disabled.ok) << disabled.error;
    EXPECT_FALSE(m_cake.userLayers()->children().find("{A}")->isEnabled());
    EXPECT_EQ(m_saves, 1);

    m_saveWorks = false;
    const auto enabled = control.execute({"enable", {"{A}"}});
    EXPECT_FALSE(enabled.ok);
    EXPECT_NE(enabled.error.find("could not be saved"), std::string::npos);

    EXPECT_FALSE(control.execute({"enable", {"Games"}}).ok);
    EXPECT_FALSE(control.execute({"frobnicate", {}}).ok);
    EXPECT_FALSE(control.execute({"list", {"extra"}}).ok);
    EXPECT_EQ(m_saves, 2);
}

TEST_F(ControlCommandsTest, ListShowsTheTreeAndBuiltInItemsCannotBeDeleted) {
    auto control = commands();
    const auto listed = control.execute({"list", {}});
    ASSERT_TRUE(listed.ok);
    const auto& top = listed.data["items"];
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0]["id"], KVLayerCake::kUserLayersId);
    EXPECT_TRUE(top[0]["builtIn"].get<bool>());
    EXPECT_EQ(top[0]["children"][1]["name"], "Work");

    const auto refused = control.execute({"delete", {KVLayerCake::kUserLayersId}});
    EXPECT_FALSE(refused.ok);
}

} // namespace
