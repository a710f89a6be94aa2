#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(DynamicLibrary, BindsByNameAndReportsWhatIsMissing)
{
    EXPECT_EQ(LoadLibraryA("implode.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA(""), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "cos"), nullptr);
    EXPECT_FALSE(FreeLibrary(nullptr));

    HMODULE math = LoadLibraryA("libm.so.6");
    ASSERT_NE(math, nullptr);
    using Cos = double (*)(double);
    const auto cosine = reinterpret_cast<Cos>(GetProcAddress(math, "cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(GetProcAddress(math, "no_such_function_here"), nullptr);
    EXPECT_TRUE(FreeLibrary(math));
}
