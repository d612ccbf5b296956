#include "platform/render/texture.h"

#include "core/errors.h"
#include "platform/render/gl_entry_points.h"

namespace qm {

namespace {

uint64_t changes = 0;

}  // namespace

uint64_t textureChanges() { return changes; }

TextureRef newTexture(int32_t width, int32_t height, int32_t internalFormat, int32_t format, int32_t type,
    const void* pixels, bool linear, bool clamp)
{
    if (internalFormat < 0 || width < 0 || height < 0)
        throw ValueError("texture format or size out of range");
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    ++changes;
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, GLenum(format), GLenum(type), pixels);
    GLint filter = linear ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    GLint wrap = clamp ? GL_CLAMP_TO_EDGE : GL_REPEAT;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    glBindTexture(GL_TEXTURE_2D, 0);
    auto texture = std::make_shared<Texture>();
    texture->name = name;
    texture->width = width;
    texture->height = height;
    texture->format = format;
    return texture;
}

void updateTexture(
    Texture& texture, int32_t x, int32_t y, int32_t width, int32_t height, const void* pixels, int32_t type)
{
    ++changes;
    glBindTexture(GL_TEXTURE_2D, texture.name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, GLenum(texture.format), GLenum(type), pixels);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void deleteTexture(Texture& texture)
{
    if (texture.name != 0) {
        ++changes;
        glDeleteTextures(1, &texture.name);
    }
    texture.name = 0;
}

}  // namespace qm
