// MATALLOC: typed allocators for matrices and vectors of the usual numeric types.
//
// A matrix is a table of NbLig row pointers, each row a separate zero-filled block of NbCol
// elements; element [l][c] is row l, column c. A vector is one zero-filled block of NbCol
// elements. Note the argument order of the matrix allocators: columns first, lines second.
//
// Every allocator returns null, and prints nothing, when NbCol or NbLig is zero or negative or
// when the memory cannot be had; a matrix whose row fails is released whole before null is
// returned. Every release function accepts null and then does nothing.
#pragma once

#include <cstddef>
#include <cstdint>

// Matrix allocators, in the library's order: f, uc, us, s, i, d, ld.
float** fmatrice(int NbCol, int NbLig);
std::uint8_t** ucmatrice(int NbCol, int NbLig);
std::uint16_t** usmatrice(int NbCol, int NbLig);
std::int16_t** smatrice(int NbCol, int NbLig);
std::int32_t** imatrice(int NbCol, int NbLig);
double** dmatrice(int NbCol, int NbLig);
/// Extended precision: the host's long double (80-bit x87 format on x86, stored in 16 bytes).
long double** ldmatrice(int NbCol, int NbLig);

// Matrix release: rows 0 to NbLig-1 in ascending order, then the row table.
void frfmatrice(float** Mat, int NbLig);
void frucmatrice(std::uint8_t** Mat, int NbLig);
void frusmatrice(std::uint16_t** Mat, int NbLig);
void frsmatrice(std::int16_t** Mat, int NbLig);
void frimatrice(std::int32_t** Mat, int NbLig);
void frdmatrice(double** Mat, int NbLig);
void frldmatrice(long double** Mat, int NbLig);

// Vector allocators, in the library's order: uc, us, s, i, d, f (there is no ld vector).
std::uint8_t* ucvecteur(int NbCol);
std::uint16_t* usvecteur(int NbCol);
std::int16_t* svecteur(int NbCol);
std::int32_t* ivecteur(int NbCol);
double* dvecteur(int NbCol);
float* fvecteur(int NbCol);

// Vector release.
void frucvecteur(std::uint8_t* Mat);
void frusvecteur(std::uint16_t* Mat);
void frsvecteur(std::int16_t* Mat);
void frivecteur(std::int32_t* Mat);
void frdvecteur(double* Mat);
void frfvecteur(float* Mat);

/// The zero-filling block allocator behind every member, calloc by default. Tests swap it to
/// make a chosen request fail; the program never does.
using matalloc_calloc = void* (*)(std::size_t count, std::size_t size);

/// Installs `fn` (null restores calloc) and returns the allocator it replaces.
matalloc_calloc matalloc_set_calloc(matalloc_calloc fn);
