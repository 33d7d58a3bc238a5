// SPDX-License-Identifier: GPL-3.0-or-later
// The bounded string.find, match, gmatch and gsub give what Lua's own give: each case runs in a plain Lua
// state and in one with the bounded functions, and the results (or error messages) must be the same.
#include "scripting/lua_guard.h"
#include "scripting/lua_patterns.h"
#include "support/test_support.h"

#include <QByteArray>

#include <cstring>
#include <gtest/gtest.h>
#include <lua.hpp>

using namespace wren;

namespace {

/// Runs @p expression in @p L and describes every value it gives, or its error.
std::string Describe(lua_State *L, const std::string &expression)
{
    const std::string code = R"(
        local function show(...)
            local out = {}
            for i = 1, select('#', ...) do
                local v = select(i, ...)
                out[#out + 1] = type(v) .. ':' .. tostring(v)
            end
            return table.concat(out, ' ')
        end
        local function each(f, s, c)
            local all = {} for a, b in f, s, c do all[#all + 1] = show(a, b) end return table.concat(all, ' | ')
        end
        local ok, result = pcall(function() return show()"
                             + expression + R"() end)
        return (ok and 'ok ' or 'error ') .. tostring(result)
    )";
    if (luaL_loadbufferx(L, code.data(), code.size(), "=case", "t") != LUA_OK)
        return "does not compile: " + std::string(lua_tostring(L, -1));
    if (lua_pcall(L, 0, 1, 0) != LUA_OK)
        return "failed: " + std::string(lua_tostring(L, -1));
    std::string result = lua_tostring(L, -1);
    lua_pop(L, 1);
    return result;
}

class BoundedPatterns : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override
    {
        m_plain = luaL_newstate();
        luaL_openlibs(m_plain);
        m_bounded = lua_newstate(LuaGuard::Allocate, &m_guard);
        m_guard.Attach(m_bounded, nullptr, nullptr);
        luaL_openlibs(m_bounded);
        InstallBoundedPatterns(m_bounded);
    }
    void TearDown() override
    {
        lua_close(m_plain);
        lua_close(m_bounded);
    }

    LuaGuard m_guard {ScriptLimits {}};
    lua_State *m_plain = nullptr;
    lua_State *m_bounded = nullptr;
};

TEST_P(BoundedPatterns, GiveWhatLuasOwnGive)
{
    const std::string expected = Describe(m_plain, GetParam());
    EXPECT_EQ(Describe(m_bounded, GetParam()), expected) << GetParam();
    EXPECT_EQ(expected.rfind("does not compile", 0), std::string::npos) << expected;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lua54, BoundedPatterns, ::testing::Values(
    // find: plain, special characters, start positions, anchors
    "string.find('hello world', 'o w')",
    "string.find('hello world', 'o', 6)",
    "string.find('hello', 'l', -2)",
    "string.find('hello', 'l', -100)",
    "string.find('hello', '', 10)",
    "string.find('hello', '', 6)",
    "string.find('hello', '')",
    "string.find('a.b', '.', 1, true)",
    "string.find('a+b', '+', 1, true)",
    "string.find('hello', 'l+')",
    "string.find('hello', '^h')",
    "string.find('hello', '^e')",
    "string.find('hello', 'o$')",
    "string.find('hello', 'l$')",
    "string.find('a$b', '$b')",
    "string.find('a^b', 'a^')",
    "string.find('x\\0y', '\\0')",
    "string.find('x\\0y', '%z')",
    "string.find('key = value', '(%w+)%s*=%s*(%w+)')",
    "string.find('  ', '()')",
    // match: classes and their complements
    "string.match('abc123', '%a+')", "string.match('abc123', '%d+')", "string.match('abc 123', '%s')",
    "string.match('ABCdef', '%u+')", "string.match('ABCdef', '%l+')", "string.match('a,b;c', '%p')",
    "string.match('\\1\\2a', '%c+')", "string.match('ff0Ag', '%x+')", "string.match('a b', '%g+')",
    "string.match('a_b9', '%w+')", "string.match('abc123', '%A+')", "string.match('abc 123', '%S+')",
    "string.match('abc123', '%D+')", "string.match('\\200\\233x', '%a')", "string.match('\\200\\233x', '%A+')",
    // sets
    "string.match('hello', '[aeiou]+')", "string.match('hello', '[^aeiou]+')", "string.match('x-y', '[a-]+')",
    "string.match('a]b', '[]]')", "string.match('a]b', '[^]]+')", "string.match('a-z', '[%-]')",
    "string.match('09af', '[%x]+')", "string.match('b', '[a-c]')", "string.match('d', '[a-c]')",
    "string.match('^', '[%^]')", "string.match('abc', '[^%a]')", "string.match('12', '[%d.]+')",
    // repetition
    "string.match('aaab', 'a*')", "string.match('aaab', 'a-b')", "string.match('aaab', 'a+b')",
    "string.match('ab', 'a?b')", "string.match('b', 'a?b')", "string.match('<a><b>', '<(.-)>')",
    "string.match('<a><b>', '<(.*)>')", "string.match('', 'a*')", "string.match('', '.+')",
    "string.match('xyz', '.-$')", "string.match('aaa', 'a-a')",
    // captures
    "string.match('2024-05-01', '(%d+)-(%d+)-(%d+)')", "string.match('hello', '()ll()')",
    "string.match('hello', '(h)(e)(l)(l)(o)')", "string.match('abab', '(ab)%1')", "string.match('abba', '(a)(b)%2%1')",
    "string.match('aXa', '(a).%1')", "string.match('hello', '((l)(l))')", "string.match('x', '(x)()')",
    // %b and %f
    "string.match('f(a(b)c)d', '%b()')", "string.match('[[x]]', '%b[]')", "string.match('((', '%b()')",
    "string.match('THE (quick) fox', '%f[%a]%a+')", "string.find('THE (quick) fox', '%f[%l]%a+')",
    "string.match('hello world', '%f[%w]%w+$')", "string.find('abc', '%f[%z]')", "string.match('aa', '%b')",
    // errors, as the library words them
    "string.find('a', '%')", "string.find('a', '[a')", "string.find('a', '[')", "string.find('a', '(')",
    "string.find('a', ')')", "string.find('a', '%1')", "string.find('a', '(a)%2')", "string.find('a', '%0')",
    "string.find('a', '%f')", "string.find('a', '%fa')", "string.find('a', '%b(')",
    "string.find('a', string.rep('(', 33))", "string.find('a', string.rep('a?', 300))",
    "string.match('a', '(()')",
    // gmatch
    "each(string.gmatch('one two  three', '%a+'))", "each(string.gmatch('k=v, a=b', '(%w+)=(%w+)'))",
    "each(string.gmatch('abc', ''))", "each(string.gmatch('abc', '.-'))", "each(string.gmatch('hello', 'l*'))",
    "each(string.gmatch('^a^b', '^%a'))", "each(string.gmatch('abcd', '%a', 3))",
    "each(string.gmatch('abcd', '%a', -1))",
    "each(string.gmatch('abcd', '%a', 10))", "each(string.gmatch('a1b2', '()%d'))",
    // gsub with strings, tables, functions, limits
    "string.gsub('hello world', 'o', '0')", "string.gsub('hello world', 'o', '0', 1)",
    "string.gsub('hello', '', '-')", "string.gsub('abc', '%w', '%0%0')", "string.gsub('abc', '(%w)', '%1.')",
    "string.gsub('hello world', '(%w+) (%w+)', '%2 %1')", "string.gsub('x', 'x', '%%')",
    "string.gsub('x', 'x', '%')", "string.gsub('x', 'x', '%2')", "string.gsub('x', 'x', '%a')",
    "string.gsub('$name is $age', '%$(%w+)', {name = 'Bob', age = 42})",
    "string.gsub('$name $none', '%$(%w+)', {name = 'Bob'})",
    "string.gsub('abc', '%w', function(c) return c:upper() .. '.' end)",
    "string.gsub('abc', '%w', function(c) if c == 'b' then return false end return 'X' end)",
    "string.gsub('abc', '%w', function() return {} end)",
    "string.gsub('abc', '%w', 5)", "string.gsub('abc', '%w', true)",
    "string.gsub('hello', '^h', 'J')", "string.gsub('hello', '^l', 'J')", "string.gsub('aaa', 'a*', '-')",
    "string.gsub('abc', '()', '%1')", "string.gsub('abc', 'b()', '%1')", "string.gsub('abc', '.', {a = 1, b = true})",
    "string.gsub('hello', 'l', 'L', 0)", "string.gsub('hello', 'l', 'L', -1)", "string.gsub('', '', 'x')",
    // as methods, and with numbers for strings
    "('hello'):find('l')", "('a,b'):gsub(',', ';')", "string.find(12345, 34)", "string.match(3.5, '%d')"
));
// clang-format on

TEST(BoundedPatternsWork, CountedAgainstTheCallsBudget)
{
    ScriptLimits limits;
    limits.Instructions = 1'000'000;
    LuaGuard guard(limits);
    lua_State *L = lua_newstate(LuaGuard::Allocate, &guard);
    guard.Attach(L, nullptr, nullptr);
    luaL_openlibs(L);
    InstallBoundedPatterns(L);
    guard.BeginCall();
    const char *code = "local s = ('a'):rep(30) return s:find(('a?'):rep(30) .. s .. 'b')";
    luaL_loadbufferx(L, code, std::strlen(code), "=bounded", "t");
    EXPECT_NE(lua_pcall(L, 0, 1, 0), LUA_OK);
    EXPECT_EQ(guard.Stopped(), LuaGuard::Stop::TooLong);
    EXPECT_EQ(guard.StopPlace(), "bounded:1");
    guard.EndCall();
    lua_close(L);
}

} // namespace
