/* Reference decoder for the PNG oracle: libpng with the transforms our
 * decoder applies (expand palette, low depths and tRNS; 16 to 8 bits by the
 * high byte; grey to RGB; opaque alpha where there is none; interlacing).
 *   png_libpng IN OUT    OUT = width, height (little-endian uint32), RGBA
 * A file libpng refuses prints "error: <message>" and exits with status 3. */
#include <png.h>
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>

static void put32(FILE* out, png_uint_32 v)
{
    unsigned char b[4] = {v & 255, (v >> 8) & 255, (v >> 16) & 255, v >> 24};
    fwrite(b, 1, 4, out);
}

static void onError(png_structp png, png_const_charp message)
{
    printf("error: %s\n", message);
    longjmp(png_jmpbuf(png), 1);
}

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    FILE* in = fopen(argv[1], "rb");
    if (!in)
        return 2;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, onError, NULL);
    png_infop info = png_create_info_struct(png);
    static png_bytep* rows;
    static png_bytep pixels;
    if (setjmp(png_jmpbuf(png)))
        return 3;
    png_init_io(png, in);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != (size_t)width * 4) {
        printf("error: unexpected row size\n");
        return 3;
    }
    pixels = malloc((size_t)width * height * 4);
    rows = malloc(sizeof(png_bytep) * height);
    for (png_uint_32 y = 0; y < height; y++)
        rows[y] = pixels + (size_t)y * width * 4;
    png_read_image(png, rows);
    png_read_end(png, NULL);
    FILE* out = fopen(argv[2], "wb");
    put32(out, width);
    put32(out, height);
    fwrite(pixels, 1, (size_t)width * height * 4, out);
    fclose(out);
    return 0;
}
