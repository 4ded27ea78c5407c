// Runs the vorn-channel program as the build does.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const fs::path& p, const std::string& s) {
    std::ofstream(p, std::ios::binary) << s;
}

int RunTool(const std::string& args) {
    return std::system((std::string(VORN_CHANNEL_TOOL) + " " + args + " 2>/dev/null").c_str());
}

class VornChannel : public testing::Test {
  protected:
    void SetUp() override {
        dir =
            fs::path(VORN_TEST_TMP) / testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    fs::path dir;
};

}  // namespace

TEST_F(VornChannel, RoundTripsTexts) {
    const std::string texts[] = {"[Public]\r\nchannel=vx_pc_000001\r\n",
                                 "[Public]\r\nchannel=z\r\n", ""};
    for (const std::string& text : texts) {
        Write(dir / "plain.ini", text);
        ASSERT_EQ(RunTool("encrypt --key morvek37 " + (dir / "plain.ini").string() + " " +
                          (dir / "c.dat").string()),
                  0);
        EXPECT_EQ(fs::file_size(dir / "c.dat") % 8, 0u);
        EXPECT_NE(Read(dir / "c.dat"), text.empty() ? "x" : text);
        ASSERT_EQ(RunTool("decrypt --key morvek37 " + (dir / "c.dat").string() + " " +
                          (dir / "back.ini").string()),
                  0);
        EXPECT_EQ(Read(dir / "back.ini"), text);
    }
}

TEST_F(VornChannel, ShortIdentifierGivesFourBlocks) {
    Write(dir / "plain.ini", "[Public]\r\nchannel=vx_pc_000001\r\n");
    ASSERT_EQ(RunTool("encrypt --key morvek37 " + (dir / "plain.ini").string() + " " +
                      (dir / "c.dat").string()),
              0);
    EXPECT_EQ(fs::file_size(dir / "c.dat"), 32u);
}

TEST_F(VornChannel, WrongKeyOrArgumentsFail) {
    Write(dir / "plain.ini", "[Public]\r\nchannel=a\r\n");
    EXPECT_NE(RunTool("encrypt --key short " + (dir / "plain.ini").string() + " x"), 0);
    EXPECT_NE(RunTool("encrypt " + (dir / "plain.ini").string()), 0);
    EXPECT_NE(RunTool("decrypt --key morvek37 " + (dir / "missing").string() + " " +
                      (dir / "o").string()),
              0);
    ASSERT_EQ(RunTool("encrypt --key morvek37 " + (dir / "plain.ini").string() + " " +
                      (dir / "c.dat").string()),
              0);
    ASSERT_EQ(RunTool("decrypt --key otherkey " + (dir / "c.dat").string() + " " +
                      (dir / "o.ini").string()),
              0);
    EXPECT_NE(Read(dir / "o.ini"), "[Public]\r\nchannel=a\r\n");
}
