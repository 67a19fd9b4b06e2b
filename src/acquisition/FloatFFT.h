#pragma once
// Radix-2 FFT on single-precision floats: N complex points held as two float arrays,
// transformed in place into natural order. A real signal of 2N samples is packed
// into the N points (even samples real, odd imaginary) and `magnitude` unpacks one
// bin of its spectrum.

#include <memory>

class FloatFFT
{
public:
    // N must be a power of two, at least 2 (0 and 1 leave nothing to transform); a
    // negative N throws std::bad_array_new_length, any other N std::invalid_argument.
    explicit FloatFFT(int N);
    ~FloatFFT();

    FloatFFT(const FloatFFT &) = delete;
    FloatFFT &operator=(const FloatFFT &) = delete;

    // re[k] = p[2k], im[k] = p[2k + 1]: p holds 2N floats.
    void load(const float *p);
    void removeMean();
    // Forward transform (kernel exp(-2 pi i m / N)), after removing the means.
    void compute();
    // Modulus of bin k of the packed 2N-sample real signal, after compute();
    // k = 0 gives the DC bin, a k outside 0 .. N-1 gives 0.
    float magnitude(int k) const;

    // The lowest b + 1 bits of x in reverse order; 0 when b < 0.
    static int bitReverse(int x, int b);
    static float cosTwiddle(int k, int n);
    static float sinTwiddle(int k, int n);

    int length() const { return size; }
    int bitCount() const { return bits; }
    float *real() { return re.get(); }
    float *imag() { return im.get(); }
    const float *real() const { return re.get(); }
    const float *imag() const { return im.get(); }

private:
    std::unique_ptr<float[]> re;
    std::unique_ptr<float[]> im;
    int size;
    int bits;
};
