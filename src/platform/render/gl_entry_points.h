#pragma once
// Every OpenGL function the program calls, as one process-wide pointer each.
// Nothing links against a GL library: a window back end fills the pointers
// through its own get-proc-address function once its first context is
// current. The GL header supplies the function types only.
#include <GL/glcorearb.h>

#include <functional>
#include <string>
#include <vector>

namespace qm {

// X(name, pointer type) for each slot, in registration order.
#define QM_GL_ENTRY_POINTS(X)                                                                                          \
    X(glGetString, PFNGLGETSTRINGPROC)                                                                                 \
    X(glGetIntegerv, PFNGLGETINTEGERVPROC)                                                                             \
    X(glIsEnabled, PFNGLISENABLEDPROC)                                                                                 \
    X(glGetFloatv, PFNGLGETFLOATVPROC)                                                                                 \
    X(glGetError, PFNGLGETERRORPROC)                                                                                   \
    X(glEnable, PFNGLENABLEPROC)                                                                                       \
    X(glDisable, PFNGLDISABLEPROC)                                                                                     \
    X(glViewport, PFNGLVIEWPORTPROC)                                                                                   \
    X(glScissor, PFNGLSCISSORPROC)                                                                                     \
    X(glClearColor, PFNGLCLEARCOLORPROC)                                                                               \
    X(glClearDepth, PFNGLCLEARDEPTHPROC)                                                                               \
    X(glClearStencil, PFNGLCLEARSTENCILPROC)                                                                           \
    X(glClear, PFNGLCLEARPROC)                                                                                         \
    X(glDepthFunc, PFNGLDEPTHFUNCPROC)                                                                                 \
    X(glDepthMask, PFNGLDEPTHMASKPROC)                                                                                 \
    X(glDepthRange, PFNGLDEPTHRANGEPROC)                                                                               \
    X(glColorMask, PFNGLCOLORMASKPROC)                                                                                 \
    X(glBlendFunc, PFNGLBLENDFUNCPROC)                                                                                 \
    X(glBlendFuncSeparate, PFNGLBLENDFUNCSEPARATEPROC)                                                                 \
    X(glBlendEquation, PFNGLBLENDEQUATIONPROC)                                                                         \
    X(glCullFace, PFNGLCULLFACEPROC)                                                                                   \
    X(glFrontFace, PFNGLFRONTFACEPROC)                                                                                 \
    X(glPolygonMode, PFNGLPOLYGONMODEPROC)                                                                             \
    X(glPolygonOffset, PFNGLPOLYGONOFFSETPROC)                                                                         \
    X(glLineWidth, PFNGLLINEWIDTHPROC)                                                                                 \
    X(glPointSize, PFNGLPOINTSIZEPROC)                                                                                 \
    X(glPixelStorei, PFNGLPIXELSTOREIPROC)                                                                             \
    X(glReadPixels, PFNGLREADPIXELSPROC)                                                                               \
    X(glFlush, PFNGLFLUSHPROC)                                                                                         \
    X(glPrimitiveRestartIndex, PFNGLPRIMITIVERESTARTINDEXPROC)                                                         \
    X(glGenQueries, PFNGLGENQUERIESPROC)                                                                               \
    X(glDeleteQueries, PFNGLDELETEQUERIESPROC)                                                                         \
    X(glBeginQuery, PFNGLBEGINQUERYPROC)                                                                               \
    X(glEndQuery, PFNGLENDQUERYPROC)                                                                                   \
    X(glGetQueryObjectuiv, PFNGLGETQUERYOBJECTUIVPROC)                                                                 \
    X(glGetQueryObjectui64v, PFNGLGETQUERYOBJECTUI64VPROC)                                                             \
    X(glFinish, PFNGLFINISHPROC)                                                                                       \
    X(glStencilFunc, PFNGLSTENCILFUNCPROC)                                                                             \
    X(glStencilOp, PFNGLSTENCILOPPROC)                                                                                 \
    X(glStencilMask, PFNGLSTENCILMASKPROC)                                                                             \
    X(glReadBuffer, PFNGLREADBUFFERPROC)                                                                               \
    X(glDrawBuffer, PFNGLDRAWBUFFERPROC)                                                                               \
    X(glDrawBuffers, PFNGLDRAWBUFFERSPROC)                                                                             \
    X(glClearBufferuiv, PFNGLCLEARBUFFERUIVPROC)                                                                       \
    X(glGetBooleanv, PFNGLGETBOOLEANVPROC)                                                                             \
    X(glGetFramebufferAttachmentParameteriv, PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVPROC)                             \
    X(glGetRenderbufferParameteriv, PFNGLGETRENDERBUFFERPARAMETERIVPROC)                                               \
    X(glClearDepthf, PFNGLCLEARDEPTHFPROC)                                                                             \
    X(glDepthRangef, PFNGLDEPTHRANGEFPROC)                                                                             \
    X(glCreateShader, PFNGLCREATESHADERPROC)                                                                           \
    X(glShaderSource, PFNGLSHADERSOURCEPROC)                                                                           \
    X(glCompileShader, PFNGLCOMPILESHADERPROC)                                                                         \
    X(glGetShaderiv, PFNGLGETSHADERIVPROC)                                                                             \
    X(glGetShaderInfoLog, PFNGLGETSHADERINFOLOGPROC)                                                                   \
    X(glDeleteShader, PFNGLDELETESHADERPROC)                                                                           \
    X(glCreateProgram, PFNGLCREATEPROGRAMPROC)                                                                         \
    X(glAttachShader, PFNGLATTACHSHADERPROC)                                                                           \
    X(glLinkProgram, PFNGLLINKPROGRAMPROC)                                                                             \
    X(glGetProgramiv, PFNGLGETPROGRAMIVPROC)                                                                           \
    X(glGetProgramInfoLog, PFNGLGETPROGRAMINFOLOGPROC)                                                                 \
    X(glUseProgram, PFNGLUSEPROGRAMPROC)                                                                               \
    X(glDeleteProgram, PFNGLDELETEPROGRAMPROC)                                                                         \
    X(glGetUniformLocation, PFNGLGETUNIFORMLOCATIONPROC)                                                               \
    X(glGetAttribLocation, PFNGLGETATTRIBLOCATIONPROC)                                                                 \
    X(glBindAttribLocation, PFNGLBINDATTRIBLOCATIONPROC)                                                               \
    X(glBindFragDataLocation, PFNGLBINDFRAGDATALOCATIONPROC)                                                           \
    X(glUniform1i, PFNGLUNIFORM1IPROC)                                                                                 \
    X(glUniform1f, PFNGLUNIFORM1FPROC)                                                                                 \
    X(glUniform2i, PFNGLUNIFORM2IPROC)                                                                                 \
    X(glUniform4i, PFNGLUNIFORM4IPROC)                                                                                 \
    X(glUniform2f, PFNGLUNIFORM2FPROC)                                                                                 \
    X(glUniform3f, PFNGLUNIFORM3FPROC)                                                                                 \
    X(glUniform4f, PFNGLUNIFORM4FPROC)                                                                                 \
    X(glUniform1fv, PFNGLUNIFORM1FVPROC)                                                                               \
    X(glUniform2fv, PFNGLUNIFORM2FVPROC)                                                                               \
    X(glUniform3fv, PFNGLUNIFORM3FVPROC)                                                                               \
    X(glUniform4fv, PFNGLUNIFORM4FVPROC)                                                                               \
    X(glUniformMatrix3fv, PFNGLUNIFORMMATRIX3FVPROC)                                                                   \
    X(glUniformMatrix4fv, PFNGLUNIFORMMATRIX4FVPROC)                                                                   \
    X(glGenBuffers, PFNGLGENBUFFERSPROC)                                                                               \
    X(glBindBuffer, PFNGLBINDBUFFERPROC)                                                                               \
    X(glBufferData, PFNGLBUFFERDATAPROC)                                                                               \
    X(glBufferSubData, PFNGLBUFFERSUBDATAPROC)                                                                         \
    X(glMapBufferRange, PFNGLMAPBUFFERRANGEPROC)                                                                       \
    X(glUnmapBuffer, PFNGLUNMAPBUFFERPROC)                                                                             \
    X(glFenceSync, PFNGLFENCESYNCPROC)                                                                                 \
    X(glClientWaitSync, PFNGLCLIENTWAITSYNCPROC)                                                                       \
    X(glDeleteSync, PFNGLDELETESYNCPROC)                                                                               \
    X(glDeleteBuffers, PFNGLDELETEBUFFERSPROC)                                                                         \
    X(glGenVertexArrays, PFNGLGENVERTEXARRAYSPROC)                                                                     \
    X(glBindVertexArray, PFNGLBINDVERTEXARRAYPROC)                                                                     \
    X(glDeleteVertexArrays, PFNGLDELETEVERTEXARRAYSPROC)                                                               \
    X(glEnableVertexAttribArray, PFNGLENABLEVERTEXATTRIBARRAYPROC)                                                     \
    X(glDisableVertexAttribArray, PFNGLDISABLEVERTEXATTRIBARRAYPROC)                                                   \
    X(glVertexAttribPointer, PFNGLVERTEXATTRIBPOINTERPROC)                                                             \
    X(glVertexAttribIPointer, PFNGLVERTEXATTRIBIPOINTERPROC)                                                           \
    X(glVertexAttribDivisor, PFNGLVERTEXATTRIBDIVISORPROC)                                                             \
    X(glDrawArrays, PFNGLDRAWARRAYSPROC)                                                                               \
    X(glDrawElements, PFNGLDRAWELEMENTSPROC)                                                                           \
    X(glDrawArraysInstanced, PFNGLDRAWARRAYSINSTANCEDPROC)                                                             \
    X(glDrawElementsInstanced, PFNGLDRAWELEMENTSINSTANCEDPROC)                                                         \
    X(glGenTextures, PFNGLGENTEXTURESPROC)                                                                             \
    X(glBindTexture, PFNGLBINDTEXTUREPROC)                                                                             \
    X(glTexImage2D, PFNGLTEXIMAGE2DPROC)                                                                               \
    X(glTexSubImage2D, PFNGLTEXSUBIMAGE2DPROC)                                                                         \
    X(glTexImage3D, PFNGLTEXIMAGE3DPROC)                                                                               \
    X(glTexSubImage3D, PFNGLTEXSUBIMAGE3DPROC)                                                                         \
    X(glTexParameteri, PFNGLTEXPARAMETERIPROC)                                                                         \
    X(glTexParameteriv, PFNGLTEXPARAMETERIVPROC)                                                                       \
    X(glDeleteTextures, PFNGLDELETETEXTURESPROC)                                                                       \
    X(glActiveTexture, PFNGLACTIVETEXTUREPROC)                                                                         \
    X(glGenerateMipmap, PFNGLGENERATEMIPMAPPROC)                                                                       \
    X(glGetTexImage, PFNGLGETTEXIMAGEPROC)                                                                             \
    X(glTexImage2DMultisample, PFNGLTEXIMAGE2DMULTISAMPLEPROC)                                                         \
    X(glGenFramebuffers, PFNGLGENFRAMEBUFFERSPROC)                                                                     \
    X(glBindFramebuffer, PFNGLBINDFRAMEBUFFERPROC)                                                                     \
    X(glFramebufferTexture2D, PFNGLFRAMEBUFFERTEXTURE2DPROC)                                                           \
    X(glFramebufferTextureLayer, PFNGLFRAMEBUFFERTEXTURELAYERPROC)                                                     \
    X(glCheckFramebufferStatus, PFNGLCHECKFRAMEBUFFERSTATUSPROC)                                                       \
    X(glDeleteFramebuffers, PFNGLDELETEFRAMEBUFFERSPROC)                                                               \
    X(glGenRenderbuffers, PFNGLGENRENDERBUFFERSPROC)                                                                   \
    X(glBindRenderbuffer, PFNGLBINDRENDERBUFFERPROC)                                                                   \
    X(glRenderbufferStorage, PFNGLRENDERBUFFERSTORAGEPROC)                                                             \
    X(glRenderbufferStorageMultisample, PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC)                                       \
    X(glFramebufferRenderbuffer, PFNGLFRAMEBUFFERRENDERBUFFERPROC)                                                     \
    X(glDeleteRenderbuffers, PFNGLDELETERENDERBUFFERSPROC)                                                             \
    X(glBlitFramebuffer, PFNGLBLITFRAMEBUFFERPROC)

#define QM_GL_DECLARE_SLOT(name, type) extern type name;
QM_GL_ENTRY_POINTS(QM_GL_DECLARE_SLOT)
#undef QM_GL_DECLARE_SLOT

using GlProc = void (*)();

// The resolver a back end hands over: a function's address, or null.
using GlProcResolver = std::function<GlProc(const char* name)>;

struct GlEntryPoint {
    std::string name;
    void* slot = nullptr;  // address of the pointer variable that receives the function
};

// The registered entry points, filled on first use in registration order.
std::vector<GlEntryPoint>& glEntryList();

// Resolves every registered name into its slot (an unknown name empties its
// slot) and returns the names that stayed unresolved, in registration order.
std::vector<std::string> loadGlEntryPoints(const GlProcResolver& getProcAddress);

// Releases the registration list at exit.
void destroyGlEntryList();

// The first of these names whose slot is empty, or "".
std::string firstMissingGlFunction(const std::vector<std::string>& names);

}  // namespace qm
