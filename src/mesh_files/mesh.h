// Meshes: indexed triangles with optional normals and texture coordinates,
// kept in system memory and mirrored into four GL vertex buffer objects,
// drawn as one batch or per material group. A mesh owns its arrays, its
// materials and its GL buffers; scenes own their meshes. cMeshMorph draws one
// mesh blended towards the positions of another with the morph shader.
//
// Main thread only: constructing a cMeshObj generates GL buffer names, so the
// GL context and the buffer entry points must exist.
#pragma once

#include "core/gl_ext.h"
#include "mesh_files/material.h"

#include <cstdint>
#include <vector>

// cMeshObj_data::flags bits.
const uint8_t MESH_TEXCOORDS = 0x01;
const uint8_t MESH_NORMALS = 0x02;
const uint8_t MESH_GROUPS = 0x10; // draw per material group

class iMeshType
{
public:
    virtual ~iMeshType() = default;
};

class iMesh : public iMeshType
{
public:
    virtual void load(const char* file_name) = 0;
    virtual void draw() = 0;
    virtual void upload() = 0;
};

class cVertexBuffer
{
public:
    // Generates the GL buffer name at once.
    explicit cVertexBuffer(int32_t components);
    ~cVertexBuffer();
    cVertexBuffer(const cVertexBuffer&) = delete;
    cVertexBuffer& operator=(const cVertexBuffer&) = delete;

    // Each of these leaves the buffer bound.
    void bind_as_positions();
    void bind_as_normals();
    void bind_as_texcoords(GLenum unit);
    void bind_as_indices();
    // Deletes the GL buffer and sets id to 0. Safe twice.
    void release();
    // Generates a new GL buffer name after release(); nothing while a name
    // is held.
    void create();

    int32_t components; // values per element
    GLuint id;          // GL buffer name, 0 once released
    GLenum usage;       // GL_STATIC_DRAW_ARB
    GLenum target;      // GL_ARRAY_BUFFER_ARB (the index buffer is bound as elements)
};

// The arrays of a mesh, without GL: what the loaders fill.
class cMeshObj_data
{
public:
    // Empties every array (flags stay).
    void clear_arrays();

    uint8_t flags = 0;             // MESH_TEXCOORDS | MESH_NORMALS | MESH_GROUPS
    std::vector<float> positions;  // x, y, z per vertex
    std::vector<float> normals;    // x, y, z per vertex, with MESH_NORMALS
    std::vector<float> texcoords;  // s, t per vertex, with MESH_TEXCOORDS
    std::vector<uint32_t> indices; // 3 per triangle
    // Index offsets: group i covers indices [groups[i], groups[i+1]).
    std::vector<uint32_t> groups;
    std::vector<cMaterial_GL> materials; // material i belongs to group i
};

class cMeshObj : public iMesh, public cMeshObj_data
{
public:
    cMeshObj();
    ~cMeshObj() override;

    // Replaces the contents from a Wavefront OBJ file; does not upload.
    void load(const char* file_name) override;
    // Draws with the current GL state; per material group with MESH_GROUPS.
    void draw() override;
    // Copies the arrays into the GL buffers (empty arrays upload 0 bytes).
    // Once after filling, before the first draw; the arrays stay.
    void upload() override;

    // Drops the materials and per-group drawing: the mesh then draws as one
    // batch with whatever state the caller set.
    void clear_materials();
    // Deletes the four GL buffers and keeps the arrays. Draw a released mesh
    // only after restore_buffers() has given it buffers again.
    void release_buffers();
    // Undoes release_buffers() for a scene that is shown again: new names
    // for the released buffers, then upload(). Returns whether any buffer
    // had been released (false: nothing done).
    bool restore_buffers();
    // Buffer 0 positions, 1 normals, 2 texcoords, 3 indices; any other index
    // ends the process (-1).
    cVertexBuffer* get_buffer(int index);

    cVertexBuffer buffers[4];

private:
    void draw_groups();
};

class cMeshMorph
{
public:
    // Owns neither mesh. Base and target have the same vertex count and order.
    cMeshMorph(iMesh* base, cMeshObj* target) : base(base), target(target) {}

    // Registers the morph shader "morph_shader" with the shader container.
    void init();
    // Draws base moved towards target's positions by weight (0..1). Leaves
    // "morph_shader" bound and target's positions on texture unit 3; the
    // caller unbinds the shader.
    void draw(float weight);

    iMesh* base;
    cMeshObj* target;
};
