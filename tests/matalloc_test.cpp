#include "LIB/matalloc.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "devtools/support.h"

namespace {

// Each matrix allocator and its release, so one typed test covers the whole family.
template <class T, T** (*Alloc)(int, int), void (*Release)(T**, int)>
struct MatrixKind {
  using Element = T;
  static T** alloc(int cols, int rows) { return Alloc(cols, rows); }
  static void release(T** m, int rows) { Release(m, rows); }
};

template <class Kind>
class MatriceTest : public ::testing::Test {};

using MatrixKinds = ::testing::Types<
    MatrixKind<float, fmatrice, frfmatrice>, MatrixKind<std::uint8_t, ucmatrice, frucmatrice>,
    MatrixKind<std::uint16_t, usmatrice, frusmatrice>,
    MatrixKind<std::int16_t, smatrice, frsmatrice>, MatrixKind<std::int32_t, imatrice, frimatrice>,
    MatrixKind<double, dmatrice, frdmatrice>, MatrixKind<long double, ldmatrice, frldmatrice>>;
TYPED_TEST_SUITE(MatriceTest, MatrixKinds);

TYPED_TEST(MatriceTest, ColumnsComeFirstAndEveryElementIsZero) {
  using T = typename TypeParam::Element;
  T** m = TypeParam::alloc(5, 3);  // 5 columns, 3 lines
  ASSERT_NE(m, nullptr);
  for (int l = 0; l < 3; ++l) {
    ASSERT_NE(m[l], nullptr);
    for (int c = 0; c < 5; ++c)
      EXPECT_EQ(m[l][c], T{0}) << l << "," << c;
    m[l][4] = T{1};  // the last column of each row is writable (ASan checks the row length)
  }
  EXPECT_NE(m[0], m[1]);
  TypeParam::release(m, 3);
}

TYPED_TEST(MatriceTest, ZeroOrNegativeSizesYieldNull) {
  EXPECT_EQ(TypeParam::alloc(5, 0), nullptr);
  EXPECT_EQ(TypeParam::alloc(0, 3), nullptr);
  EXPECT_EQ(TypeParam::alloc(-1, 3), nullptr);
  EXPECT_EQ(TypeParam::alloc(5, -3), nullptr);
  TypeParam::release(nullptr, 3);  // releasing null does nothing
}

TEST(Vecteur, EveryElementIsZeroAndZeroOrNegativeSizesYieldNull) {
  std::uint8_t* uc = ucvecteur(7);
  std::int32_t* i = ivecteur(7);
  double* d = dvecteur(7);
  ASSERT_TRUE(uc && i && d);
  for (int c = 0; c < 7; ++c) {
    EXPECT_EQ(uc[c], 0);
    EXPECT_EQ(i[c], 0);
    EXPECT_EQ(d[c], 0.0);
  }
  frucvecteur(uc);
  frivecteur(i);
  frdvecteur(d);
  EXPECT_EQ(ucvecteur(0), nullptr);
  EXPECT_EQ(usvecteur(-4), nullptr);
  EXPECT_EQ(svecteur(0), nullptr);
  EXPECT_EQ(fvecteur(-1), nullptr);
  frfvecteur(nullptr);
}

// Request 1 is the row table, requests 2 to 5 the four rows. Whatever fails, the result is null
// and whatever was had is released: the asan preset's leak check fails this test otherwise.
class FailingAllocation : public ::testing::TestWithParam<int> {};

TEST_P(FailingAllocation, YieldsNullAndKeepsNothing) {
  {
    const support::FailingAllocator allocator(GetParam());
    EXPECT_EQ(ucmatrice(6, 4), nullptr);
    EXPECT_EQ(support::FailingAllocator::requests(), GetParam());  // it stops at the failure
  }
  const support::FailingAllocator allocator(GetParam());
  EXPECT_EQ(dmatrice(6, 4), nullptr) << "the same request fails for another element type";
}
INSTANTIATE_TEST_SUITE_P(EachRequest, FailingAllocation, ::testing::Values(1, 2, 3, 5));

void* plain_calloc(std::size_t count, std::size_t size) { return std::calloc(count, size); }

TEST(MatallocSetCalloc, NullRestoresTheDefault) {
  const matalloc_calloc original = matalloc_set_calloc(plain_calloc);
  EXPECT_EQ(matalloc_set_calloc(nullptr), plain_calloc);
  std::uint8_t** m = ucmatrice(2, 2);
  EXPECT_NE(m, nullptr);
  frucmatrice(m, 2);
  matalloc_set_calloc(original);
}

}  // namespace
