#include "store/FileTree.h"
#include "store/PropertyListReader.h"
#include "store/PropertyListWriter.h"
#include "store/XmlDocument.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;

namespace {

constexpr const char* kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
                                "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";

std::string plist(const std::string& dictBody) {
    return std::string(kHeader) + "<plist version=\"1.0\"><dict>" + dictBody + "</dict></plist>";
}

// The tree as one comparable text: name=value{children}.
std::string describe(const KVPropertyNode& node) {
    std::string text = node.name() + "=" + node.value();
    if (node.hasChildren()) {
        text += "{";
        for (const auto& child : node.children())
            text += describe(*child) + ";";
        text += "}";
    }
    return text;
}

} // namespace

// What is saved reads back the same, values and keys of any length and script alike. The reader keeps to
// the subset stored files use; broken, hostile or enormous input is refused without
// exhausting the stack, blocking or reading much.
TEST(PropertyList, SavedReadsBackAndTheReaderRefusesBadDocumentsAndTrees) {
    TempDir dir;
    auto node = KVPropertyNode::create("root");
    node->addChild("C", "");
    node->addChild("D")->addChild("E", "false");
    node->addChild("Text", "a < b & \"c\" > d");
    node->addChild("Unicode", "Größe € 🎹");
    std::string longValue;
    while (longValue.size() < 300)
        longValue += "Ä€"; // two- and three-byte sequences, split by no buffer
    node->addChild("Long", longValue);
    node->addChild(longValue, "as a key too");
    ASSERT_TRUE(savePropertyList(*node, dir / "Doc.plist"));
    const auto loaded = loadPropertyList(dir / "Doc.plist", "root");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(describe(*loaded), describe(*node));
    EXPECT_EQ(readWholeFile(dir / "Doc.plist").rfind(kHeader, 0), 0u) << "no byte-order mark, header first";

    const auto parsed = parsePropertyList(plist("<key>n</key><integer>5</integer>"
                                                "<key>order</key><array><string>a</string><string>b</string>"
                                                "<integer>7</integer><string>a</string></array>"
                                                "<key>flag</key><false/>"
                                                "<key>empty</key><string/>"
                                                "<key>n</key><string>replaced</string>"
                                                "<key>skipped</key>text<string>x</string>"
                                                "<key>dangling</key>"),
                                          "root");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(describe(*parsed), "root={n=replaced;order={a=;b=;};flag=false;empty=;}");
    EXPECT_EQ(parsed->children().front()->name(), "n") << "a repeated key keeps its first place";

    const auto noDict = parsePropertyList("<plist version=\"1.0\"><array/></plist>", "root");
    ASSERT_TRUE(noDict);
    EXPECT_FALSE(noDict->hasChildren());

    EXPECT_EQ(parsePropertyList("<plist><dict><key>a</key>", "root"), nullptr);
    EXPECT_EQ(parsePropertyList("", "root"), nullptr);
    EXPECT_EQ(parsePropertyList(std::string("\0\xFF\xFE garbage", 12), "root"), nullptr);
    EXPECT_EQ(loadPropertyList("/nonexistent/Device.plist", "Device"), nullptr);
    std::string deep;
    for (int i = 0; i < 200000; ++i)
        deep += "<key>k</key><dict>";
    for (int i = 0; i < 200000; ++i)
        deep += "</dict>";
    EXPECT_EQ(parsePropertyList(plist(deep), "root"), nullptr);

    auto cyclic = KVPropertyNode::create("root");
    cyclic->setChild(cyclic);
    EXPECT_FALSE(savePropertyList(*cyclic, dir / "Cycle.plist"));
    EXPECT_FALSE(pathExists(dir / "Cycle.plist"));
    cyclic->removeChild("root"); // break the cycle so the node is freed

    const std::string huge = dir / "Huge.plist";
    const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, KVXmlDocument::kMaxFileBytes + 1), 0); // sparse: nothing is really written
    ::close(fd);
    EXPECT_EQ(loadPropertyList(huge, "root"), nullptr);
    ASSERT_EQ(::mkfifo((dir / "Fifo.plist").c_str(), 0600), 0);
    EXPECT_EQ(loadPropertyList(dir / "Fifo.plist", "root"), nullptr) << "must neither block nor read a fifo";
    EXPECT_EQ(loadPropertyList(dir.path(), "root"), nullptr);
}
