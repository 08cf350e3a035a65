#include "mesh.h"

#include "mesh_files/obj_loader.h"
#include "shaders/cShaderContainer_CG.h"
#include "shaders/cShdMorphBake.h"

#include <cstdlib>
#include <iostream>

namespace {

const GLvoid* byte_offset(size_t bytes)
{
    return reinterpret_cast<const GLvoid*>(bytes);
}

// Fills the bound buffer from an array of floats or indices: whole elements
// only, 0 bytes (from a null pointer) for an empty array.
template <class T>
void fill_buffer(GLenum target, const cVertexBuffer& buffer, const std::vector<T>& values, size_t per_element)
{
    size_t elements = values.size() / per_element;
    GLsizeiptrARB bytes = static_cast<GLsizeiptrARB>(elements * buffer.components * sizeof(T));
    glBindBufferARB(target, buffer.id);
    glBufferDataARB(target, bytes, bytes ? values.data() : nullptr, buffer.usage);
    glBindBufferARB(target, 0);
}

} // namespace

// --- cVertexBuffer -------------------------------------------------------------

cVertexBuffer::cVertexBuffer(int32_t components)
    : components(components), id(0), usage(GL_STATIC_DRAW_ARB), target(GL_ARRAY_BUFFER_ARB)
{
    glGenBuffersARB(1, &id);
}

cVertexBuffer::~cVertexBuffer()
{
    release();
}

void cVertexBuffer::bind_as_positions()
{
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, id);
    glVertexPointer(components, GL_FLOAT, 0, byte_offset(0));
    glEnableClientState(GL_VERTEX_ARRAY);
}

void cVertexBuffer::bind_as_normals()
{
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, id);
    glNormalPointer(GL_FLOAT, 0, byte_offset(0));
    glEnableClientState(GL_NORMAL_ARRAY);
}

void cVertexBuffer::bind_as_texcoords(GLenum unit)
{
    glClientActiveTextureARB(unit);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, id);
    glTexCoordPointer(components, GL_FLOAT, 0, byte_offset(0));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
}

void cVertexBuffer::bind_as_indices()
{
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, id);
}

void cVertexBuffer::release()
{
    if (id != 0) {
        glDeleteBuffersARB(1, &id);
        id = 0;
    }
}

void cVertexBuffer::create()
{
    if (id == 0)
        glGenBuffersARB(1, &id);
}

// --- cMeshObj -------------------------------------------------------------------

void cMeshObj_data::clear_arrays()
{
    positions.clear();
    normals.clear();
    texcoords.clear();
    indices.clear();
    groups.clear();
    materials.clear();
}

cMeshObj::cMeshObj() : buffers{cVertexBuffer(3), cVertexBuffer(3), cVertexBuffer(2), cVertexBuffer(1)} {}

cMeshObj::~cMeshObj()
{
    release_buffers();
}

void cMeshObj::load(const char* file_name)
{
    cObjLoader loader;
    loader.load_file(file_name);
    loader.triangulate();
    loader.export_mesh(*this);

    materials.clear();
    materials.reserve(loader.materials.size());
    for (const cMaterial& m : loader.materials)
        materials.push_back(cMaterial_GL(m));
    // Only now that the list is complete: a copy would lose the handles.
    for (cMaterial_GL& m : materials)
        m.load_textures();
}

void cMeshObj::upload()
{
    fill_buffer(GL_ARRAY_BUFFER_ARB, buffers[0], positions, 3);
    fill_buffer(GL_ARRAY_BUFFER_ARB, buffers[1], normals, 3);
    fill_buffer(GL_ARRAY_BUFFER_ARB, buffers[2], texcoords, 2);
    fill_buffer(GL_ELEMENT_ARRAY_BUFFER_ARB, buffers[3], indices, 1);
    for (cMaterial_GL& m : materials)
        m.upload();
}

void cMeshObj::draw()
{
    buffers[0].bind_as_positions();
    if (flags & MESH_NORMALS)
        buffers[1].bind_as_normals();
    if (flags & MESH_TEXCOORDS)
        buffers[2].bind_as_texcoords(GL_TEXTURE0_ARB);
    buffers[3].bind_as_indices();

    if (flags & MESH_GROUPS)
        draw_groups();
    else
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, byte_offset(0));

    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    glDisableClientState(GL_VERTEX_ARRAY);
    if (flags & MESH_TEXCOORDS) {
        glClientActiveTextureARB(GL_TEXTURE0_ARB);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    if (flags & MESH_NORMALS)
        glDisableClientState(GL_NORMAL_ARRAY);
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
}

// Group i is drawn with material i. A group that reaches outside the index
// array is not drawn, and a group without a material is drawn without one.
void cMeshObj::draw_groups()
{
    for (size_t i = 0; i + 1 < groups.size(); i++) {
        uint32_t first = groups[i];
        uint32_t end = groups[i + 1];
        if (first >= end || end > indices.size())
            continue;
        if (i < materials.size())
            materials[i].apply();
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(end - first), GL_UNSIGNED_INT,
                       byte_offset(size_t(first) * sizeof(uint32_t)));
    }
    if (flags & MESH_TEXCOORDS) {
        const GLenum units[3] = {GL_TEXTURE2_ARB, GL_TEXTURE1_ARB, GL_TEXTURE0_ARB};
        for (GLenum unit : units) {
            glActiveTextureARB(unit);
            glDisable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, 0);
        }
    }
}

void cMeshObj::clear_materials()
{
    flags &= static_cast<uint8_t>(~MESH_GROUPS);
    materials.clear();
}

void cMeshObj::release_buffers()
{
    for (cVertexBuffer& buffer : buffers)
        buffer.release();
}

bool cMeshObj::restore_buffers()
{
    bool released = false;
    for (cVertexBuffer& buffer : buffers)
        released = released || buffer.id == 0;
    if (!released)
        return false;
    for (cVertexBuffer& buffer : buffers)
        buffer.create();
    upload();
    return true;
}

cVertexBuffer* cMeshObj::get_buffer(int index)
{
    if (index < 0 || index > 3) {
        std::cerr << "# ERROR in " << __FILE__ << " line " << __LINE__ << ": Unknown vbo. Exiting..." << std::endl;
        exit(-1);
    }
    return &buffers[index];
}

// --- cMeshMorph ---------------------------------------------------------------------

void cMeshMorph::init()
{
    get_shader_container()->add_shader<cShdMorphBake>("morph_shader");
}

void cMeshMorph::draw(float weight)
{
    cShaderContainer_CG* shaders = get_shader_container();
    shaders->set_parameters("morph_shader", weight, 0, 0, 0);
    shaders->bind("morph_shader");
    // The target positions reach the vertex program as texture coordinate
    // set 3, three components.
    target->get_buffer(0)->bind_as_texcoords(GL_TEXTURE3_ARB);
    base->draw();
}
