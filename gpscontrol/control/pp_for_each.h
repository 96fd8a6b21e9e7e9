#pragma once
// Preprocessor iteration over up to nine parenthesised (type, name) pairs, so
// that the dispatch table can be expanded into declarations, calls and data.
//
//   SORVANE_PP_FOR_EACH(F, (a, x), (b, y))        ->  F(0, a, x) F(1, b, y)
//   SORVANE_PP_FOR_EACH_COMMA(F, (a, x), (b, y))  ->  F(0, a, x), F(1, b, y)

#define SORVANE_PP_CAT(a, b) SORVANE_PP_CAT_I(a, b)
#define SORVANE_PP_CAT_I(a, b) a##b
#define SORVANE_PP_UNPACK(...) __VA_ARGS__
#define SORVANE_PP_CALL(F, ...) F(__VA_ARGS__)
#define SORVANE_PP_APPLY(F, i, pair) SORVANE_PP_CALL(F, i, SORVANE_PP_UNPACK pair)

#define SORVANE_PP_NARGS(...) \
    SORVANE_PP_NARGS_I(0 __VA_OPT__(, ) __VA_ARGS__, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0)
#define SORVANE_PP_NARGS_I(z, a1, a2, a3, a4, a5, a6, a7, a8, a9, n, ...) n

#define SORVANE_PP_FOR_EACH(F, ...) \
    SORVANE_PP_CAT(SORVANE_PP_FE_, SORVANE_PP_NARGS(__VA_ARGS__))(F __VA_OPT__(, ) __VA_ARGS__)
#define SORVANE_PP_FE_0(F)
#define SORVANE_PP_FE_1(F, a) SORVANE_PP_APPLY(F, 0, a)
#define SORVANE_PP_FE_2(F, a, b) SORVANE_PP_FE_1(F, a) SORVANE_PP_APPLY(F, 1, b)
#define SORVANE_PP_FE_3(F, a, b, c) SORVANE_PP_FE_2(F, a, b) SORVANE_PP_APPLY(F, 2, c)
#define SORVANE_PP_FE_4(F, a, b, c, d) SORVANE_PP_FE_3(F, a, b, c) SORVANE_PP_APPLY(F, 3, d)
#define SORVANE_PP_FE_5(F, a, b, c, d, e) SORVANE_PP_FE_4(F, a, b, c, d) SORVANE_PP_APPLY(F, 4, e)
#define SORVANE_PP_FE_6(F, a, b, c, d, e, f) \
    SORVANE_PP_FE_5(F, a, b, c, d, e) SORVANE_PP_APPLY(F, 5, f)
#define SORVANE_PP_FE_7(F, a, b, c, d, e, f, g) \
    SORVANE_PP_FE_6(F, a, b, c, d, e, f) SORVANE_PP_APPLY(F, 6, g)
#define SORVANE_PP_FE_8(F, a, b, c, d, e, f, g, h) \
    SORVANE_PP_FE_7(F, a, b, c, d, e, f, g) SORVANE_PP_APPLY(F, 7, h)
#define SORVANE_PP_FE_9(F, a, b, c, d, e, f, g, h, i) \
    SORVANE_PP_FE_8(F, a, b, c, d, e, f, g, h) SORVANE_PP_APPLY(F, 8, i)

#define SORVANE_PP_FOR_EACH_COMMA(F, ...) \
    SORVANE_PP_CAT(SORVANE_PP_FEC_, SORVANE_PP_NARGS(__VA_ARGS__))(F __VA_OPT__(, ) __VA_ARGS__)
#define SORVANE_PP_FEC_0(F)
#define SORVANE_PP_FEC_1(F, a) SORVANE_PP_APPLY(F, 0, a)
#define SORVANE_PP_FEC_2(F, a, b) SORVANE_PP_FEC_1(F, a), SORVANE_PP_APPLY(F, 1, b)
#define SORVANE_PP_FEC_3(F, a, b, c) SORVANE_PP_FEC_2(F, a, b), SORVANE_PP_APPLY(F, 2, c)
#define SORVANE_PP_FEC_4(F, a, b, c, d) SORVANE_PP_FEC_3(F, a, b, c), SORVANE_PP_APPLY(F, 3, d)
#define SORVANE_PP_FEC_5(F, a, b, c, d, e) \
    SORVANE_PP_FEC_4(F, a, b, c, d), SORVANE_PP_APPLY(F, 4, e)
#define SORVANE_PP_FEC_6(F, a, b, c, d, e, f) \
    SORVANE_PP_FEC_5(F, a, b, c, d, e), SORVANE_PP_APPLY(F, 5, f)
#define SORVANE_PP_FEC_7(F, a, b, c, d, e, f, g) \
    SORVANE_PP_FEC_6(F, a, b, c, d, e, f), SORVANE_PP_APPLY(F, 6, g)
#define SORVANE_PP_FEC_8(F, a, b, c, d, e, f, g, h) \
    SORVANE_PP_FEC_7(F, a, b, c, d, e, f, g), SORVANE_PP_APPLY(F, 7, h)
#define SORVANE_PP_FEC_9(F, a, b, c, d, e, f, g, h, i) \
    SORVANE_PP_FEC_8(F, a, b, c, d, e, f, g, h), SORVANE_PP_APPLY(F, 8, i)
