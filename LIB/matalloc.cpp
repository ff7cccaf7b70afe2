#include "LIB/matalloc.h"

#include <cstdlib>

namespace {

matalloc_calloc block_alloc = std::calloc;

// Every block comes from block_alloc and goes back through std::free, so an injected allocator
// must hand out blocks that free accepts (tests wrap calloc).
template <class T>
T* vecteur(int NbCol) {
  if (NbCol <= 0) return nullptr;
  return static_cast<T*>(block_alloc(static_cast<std::size_t>(NbCol), sizeof(T)));
}

template <class T>
void frmatrice(T** Mat, int NbLig) {
  if (Mat == nullptr) return;
  for (int l = 0; l < NbLig; ++l)
    std::free(Mat[l]);
  std::free(Mat);
}

template <class T>
T** matrice(int NbCol, int NbLig) {
  if (NbCol <= 0 || NbLig <= 0) return nullptr;
  T** Mat = vecteur<T*>(NbLig);
  if (Mat == nullptr) return nullptr;
  for (int l = 0; l < NbLig; ++l) {
    Mat[l] = vecteur<T>(NbCol);
    if (Mat[l] == nullptr) {
      frmatrice(Mat, l);  // the rows before l, then the table: a partial matrix never escapes
      return nullptr;
    }
  }
  return Mat;
}

}  // namespace

matalloc_calloc matalloc_set_calloc(matalloc_calloc fn) {
  matalloc_calloc previous = block_alloc;
  block_alloc = fn != nullptr ? fn : std::calloc;
  return previous;
}

float** fmatrice(int NbCol, int NbLig) { return matrice<float>(NbCol, NbLig); }
std::uint8_t** ucmatrice(int NbCol, int NbLig) { return matrice<std::uint8_t>(NbCol, NbLig); }
std::uint16_t** usmatrice(int NbCol, int NbLig) { return matrice<std::uint16_t>(NbCol, NbLig); }
std::int16_t** smatrice(int NbCol, int NbLig) { return matrice<std::int16_t>(NbCol, NbLig); }
std::int32_t** imatrice(int NbCol, int NbLig) { return matrice<std::int32_t>(NbCol, NbLig); }
double** dmatrice(int NbCol, int NbLig) { return matrice<double>(NbCol, NbLig); }
long double** ldmatrice(int NbCol, int NbLig) { return matrice<long double>(NbCol, NbLig); }

void frfmatrice(float** Mat, int NbLig) { frmatrice(Mat, NbLig); }
void frucmatrice(std::uint8_t** Mat, int NbLig) { frmatrice(Mat, NbLig); }
void frusmatrice(std::uint16_t** Mat, int NbLig) { frmatrice(Mat, NbLig); }
void frsmatrice(std::int16_t** Mat, int NbLig) { frmatrice(Mat, NbLig); }
void frimatrice(std::int32_t** Mat, int NbLig) { frmatrice(Mat, NbLig); }
void frdmatrice(double** Mat, int NbLig) { frmatrice(Mat, NbLig); }
void frldmatrice(long double** Mat, int NbLig) { frmatrice(Mat, NbLig); }

std::uint8_t* ucvecteur(int NbCol) { return vecteur<std::uint8_t>(NbCol); }
std::uint16_t* usvecteur(int NbCol) { return vecteur<std::uint16_t>(NbCol); }
std::int16_t* svecteur(int NbCol) { return vecteur<std::int16_t>(NbCol); }
std::int32_t* ivecteur(int NbCol) { return vecteur<std::int32_t>(NbCol); }
double* dvecteur(int NbCol) { return vecteur<double>(NbCol); }
float* fvecteur(int NbCol) { return vecteur<float>(NbCol); }

void frucvecteur(std::uint8_t* Mat) { std::free(Mat); }
void frusvecteur(std::uint16_t* Mat) { std::free(Mat); }
void frsvecteur(std::int16_t* Mat) { std::free(Mat); }
void frivecteur(std::int32_t* Mat) { std::free(Mat); }
void frdvecteur(double* Mat) { std::free(Mat); }
void frfvecteur(float* Mat) { std::free(Mat); }
