// Counting and deleting a product folder without a dialog, and deleting single paths.
#include <gtest/gtest.h>

#include <string>

#include "file_tree.h"
#include "test_machine.h"
#include "uninstall/recursive_delete.h"

namespace {

const std::wstring kProduct = L"c:\\Program Files (x86)\\Tessaly\\T6\\";

class RecursiveDelete : public testing::Test {
 protected:
  std::string Host(const std::string& relative) const {
    return machine.Root() + "/drive_c/Program Files (x86)/Tessaly/T6" + relative;
  }
  std::string Outside(const std::string& relative) const { return machine.Root() + "/drive_c/Data" + relative; }

  // Six files, one read-only and one hidden-looking, in nested folders, an empty folder, and
  // links to a folder and a file outside the product folder.
  void MakeProduct() {
    MakeFile(Host("/T6.EXE"), 0755);
    MakeFile(Host("/.settings"));
    MakeFile(Host("/resources/app/template/Release/grdes6.dll"), 0444);
    MakeFile(Host("/resources/app/template/Release/gregn6.dll"));
    MakeFile(Host("/resources/app/index.html"));
    std::filesystem::create_directories(Host("/logs/old"));
    MakeFile(Outside("/report.grf"));
    MakeFile(Outside("/more/notes.txt"));
    std::filesystem::create_directory_symlink(Outside(""), Host("/resources/data"));
    std::filesystem::create_symlink(Outside("/report.grf"), Host("/latest.grf"));
  }

  TestMachine machine;
};

TEST_F(RecursiveDelete, CountsEveryFileButNoFolderAndDoesNotFollowLinks) {
  MakeProduct();
  // The link to a file is a file of its own; the link to a folder is not entered.
  EXPECT_EQ(6, CountFiles(kProduct));
  EXPECT_EQ(6, CountFiles(kProduct.substr(0, kProduct.size() - 1)));
  EXPECT_EQ(2, CountFiles(kProduct + L"RESOURCES\\app\\template"));
  EXPECT_EQ(0, CountFiles(kProduct + L"logs"));
  EXPECT_EQ(0, CountFiles(L"c:\\missing"));
}

TEST_F(RecursiveDelete, DeletesEverythingInsideButNothingALinkLeadsTo) {
  MakeProduct();
  DeleteTree(kProduct, nullptr);
  EXPECT_FALSE(Exists(Host("")));
  EXPECT_TRUE(Exists(machine.Root() + "/drive_c/Program Files (x86)/Tessaly"));
  EXPECT_TRUE(Exists(Outside("/report.grf")));
  EXPECT_TRUE(Exists(Outside("/more/notes.txt")));
}

TEST_F(RecursiveDelete, AFolderHoldingOnlyEmptyFoldersIsRemovedWhole) {
  std::filesystem::create_directories(Host("/a/b/c"));
  std::filesystem::create_directories(Host("/d"));
  EXPECT_EQ(0, CountFiles(kProduct));
  DeleteTree(kProduct, nullptr);
  EXPECT_FALSE(Exists(Host("")));
}

TEST_F(RecursiveDelete, BothWalksStopAtThePathLimitAlike) {
  // A folder whose search pattern has 260 characters is neither counted nor walked; a file
  // whose own path is too long is counted, but stays; the folders above both stay too.
  const std::wstring deepPattern = PathOfLength(kProduct + L"deep", MAX_PATH, L"\\*.*");
  const std::wstring deepFolder = deepPattern.substr(0, deepPattern.size() - 4);
  const std::wstring longFile = PathOfLength(kProduct + L"long", MAX_PATH);
  const std::wstring shallowFile = PathOfLength(kProduct + L"ok", MAX_PATH - 1);
  MakeFile(machine.HostPath(deepFolder) + "/hidden-by-depth.txt");
  MakeFile(machine.HostPath(longFile));
  MakeFile(machine.HostPath(shallowFile));
  EXPECT_EQ(2, CountFiles(kProduct));
  DeleteTree(kProduct, nullptr);
  EXPECT_TRUE(Exists(machine.HostPath(deepFolder) + "/hidden-by-depth.txt"));
  EXPECT_TRUE(Exists(machine.HostPath(longFile)));
  EXPECT_FALSE(Exists(machine.HostPath(shallowFile)));
  EXPECT_FALSE(Exists(Host("/ok")));
}

TEST_F(RecursiveDelete, DeletePathTakesFilesAndFoldersUpTo259Characters) {
  const std::wstring fits = PathOfLength(L"c:\\Users\\Public\\Desktop", MAX_PATH - 1, L".lnk");
  const std::wstring tooLong = PathOfLength(L"c:\\Users\\Public\\Desktop", MAX_PATH, L".lnk");
  MakeFile(machine.HostPath(fits));
  MakeFile(machine.HostPath(tooLong));
  MakeFile(machine.Root() + "/drive_c/Tessaly/卸载TessalyT6.lnk");
  MakeFile(machine.Root() + "/drive_c/Folder/inside/file.txt", 0444);
  EXPECT_TRUE(DeletePath(fits.c_str()));
  EXPECT_FALSE(Exists(machine.HostPath(fits)));
  EXPECT_FALSE(DeletePath(tooLong.c_str()));
  EXPECT_TRUE(Exists(machine.HostPath(tooLong)));
  EXPECT_TRUE(DeletePath(L"c:\\tessaly\\卸载TessalyT6.lnk"));
  EXPECT_FALSE(Exists(machine.Root() + "/drive_c/Tessaly/卸载TessalyT6.lnk"));
  EXPECT_TRUE(Exists(machine.Root() + "/drive_c/Tessaly"));
  EXPECT_TRUE(DeletePath(L"c:\\Folder"));
  EXPECT_FALSE(Exists(machine.Root() + "/drive_c/Folder"));
  EXPECT_FALSE(DeletePath(L"c:\\Tessaly\\missing.lnk"));
  EXPECT_FALSE(DeletePath(nullptr));
}

}  // namespace
