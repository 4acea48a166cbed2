// The real Windows implementations of the platform concerns, under Wine.
#include <gtest/gtest.h>

#include <string>

#include "common/ansi.h"
#include "common/authority.h"
#include "platform/platform.h"

namespace pf = quarro::platform;

namespace {

TEST(PlatformOnWine, AdministratorTestAnswers) {
    // Wine's user is a member of the Administrators group.
    EXPECT_EQ(CAuthority().IsAdministrator(), 1);
}

TEST(PlatformOnWine, DocumentsFolderIsKnown) {
    std::u16string path;
    ASSERT_TRUE(pf::Folders().GetKnownFolderPath(pf::KnownFolder::Documents, &path));
    EXPECT_GE(path.size(), 3u);
    EXPECT_NE(path.back(), u'\\');
}

TEST(PlatformOnWine, NamedMutexSeesAnEarlierHolder) {
    bool existed = true;
    const pf::MutexHandle first = pf::Mutexes().Create(u"QuarroTestMutex", &existed);
    ASSERT_NE(first, 0u);
    EXPECT_FALSE(existed);
    const pf::MutexHandle second = pf::Mutexes().Create(u"QuarroTestMutex", &existed);
    EXPECT_TRUE(existed);
    pf::Mutexes().Close(second);
    pf::Mutexes().Close(first);
    const pf::MutexHandle third = pf::Mutexes().Create(u"QuarroTestMutex", &existed);
    EXPECT_FALSE(existed);
    pf::Mutexes().Close(third);
}

TEST(PlatformOnWine, ModulesLoadByNameAndFindExports) {
    const std::u16string program = pf::Modules().ProgramFileName();
    ASSERT_GT(program.size(), 12u);
    EXPECT_EQ(program.substr(program.size() - 12), u"wintests.exe");

    EXPECT_EQ(pf::Modules().Load(u"QuarroNoSuchModule.dll", true), 0u);
    const pf::LibraryHandle kernel = pf::Modules().Load(u"kernel32.dll", true);
    ASSERT_NE(kernel, 0u);
    EXPECT_NE(pf::Modules().GetExport(kernel, "GetVersionExW"), nullptr);
    EXPECT_EQ(pf::Modules().GetExport(kernel, "QuarroNoSuchExport"), nullptr);
    pf::Modules().Free(kernel);
}

TEST(PlatformOnWine, AnsiCodePageRoundTrip) {
    // Wine's default ANSI code page in this prefix is Windows-1252, like the English default.
    const std::u16string text = u"caf\u00e9 \u20ac";
    EXPECT_EQ(quarro::text::ToAnsi(text), std::string("caf\xe9 \x80"));
    EXPECT_EQ(quarro::text::FromAnsi("caf\xe9 \x80"), text);
}

}  // namespace
