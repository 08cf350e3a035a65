#include "scenes/vertex_fog.h"

#include <iostream>

namespace {

// The fixed-function vertex terms for light 0 (OpenGL 2.1, 2.14.1), the
// colour material standing for ambient and diffuse, then the fog factor of
// the vertex's eye depth mixed in. Colours are clamped as the fixed-function
// pipeline clamps them: primary and secondary each, then their sum. With
// layers_in_s the alpha is then multiplied by the vertex's s texture
// coordinate, up to 1.
const char* const VERTEX_SOURCE =
    "#version 120\n"
    "uniform bool local_viewer;\n"
    "uniform bool separate_specular;\n"
    "uniform bool normalize_normal;\n"
    "uniform bool layers_in_s;\n"
    "vec4 lit(vec3 n, vec3 to_light, vec3 to_eye, float attenuation, vec4 emission, vec4 specular, float shininess)\n"
    "{\n"
    "    float nl = dot(n, to_light);\n"
    "    float nh = max(dot(n, normalize(to_light + to_eye)), 0.0);\n"
    "    vec4 primary = emission + gl_Color * (gl_LightModel.ambient + attenuation * gl_LightSource[0].ambient)\n"
    "                 + attenuation * max(nl, 0.0) * gl_Color * gl_LightSource[0].diffuse;\n"
    "    vec4 secondary = nl > 0.0 ? attenuation * pow(nh, shininess) * specular * gl_LightSource[0].specular\n"
    "                              : vec4(0.0);\n"
    "    vec3 rgb = separate_specular ? clamp(primary.rgb, 0.0, 1.0) + clamp(secondary.rgb, 0.0, 1.0)\n"
    "                                 : primary.rgb + secondary.rgb;\n"
    "    return vec4(clamp(rgb, 0.0, 1.0), clamp(gl_Color.a, 0.0, 1.0));\n"
    "}\n"
    "void main()\n"
    "{\n"
    "    vec4 eye = gl_ModelViewMatrix * gl_Vertex;\n"
    "    vec3 n = gl_NormalMatrix * gl_Normal;\n"
    "    if (normalize_normal)\n"
    "        n = normalize(n);\n"
    "    vec4 p = gl_LightSource[0].position;\n"
    "    vec3 to_light = p.xyz;\n"
    "    float attenuation = 1.0;\n"
    "    if (p.w != 0.0) {\n"
    "        to_light = p.xyz / p.w - eye.xyz;\n"
    "        float d = length(to_light);\n"
    "        attenuation = 1.0 / (gl_LightSource[0].constantAttenuation\n"
    "                             + d * (gl_LightSource[0].linearAttenuation + d * gl_LightSource[0].quadraticAttenuation));\n"
    "    }\n"
    "    to_light = normalize(to_light);\n"
    "    vec3 to_eye = local_viewer ? -normalize(eye.xyz) : vec3(0.0, 0.0, 1.0);\n"
    "    vec4 front = lit(n, to_light, to_eye, attenuation, gl_FrontMaterial.emission, gl_FrontMaterial.specular,\n"
    "                     gl_FrontMaterial.shininess);\n"
    "    vec4 back = lit(-n, to_light, to_eye, attenuation, gl_BackMaterial.emission, gl_BackMaterial.specular,\n"
    "                    gl_BackMaterial.shininess);\n"
    "    float fog = clamp((gl_Fog.end - abs(eye.z)) * gl_Fog.scale, 0.0, 1.0);\n"
    "    float layers = layers_in_s ? gl_MultiTexCoord0.s : 1.0;\n"
    "    gl_FrontColor = vec4(mix(gl_Fog.color.rgb, front.rgb, fog), min(front.a * layers, 1.0));\n"
    "    gl_BackColor = vec4(mix(gl_Fog.color.rgb, back.rgb, fog), min(back.a * layers, 1.0));\n"
    "    gl_Position = ftransform();\n"
    "}\n";

const char* const FRAGMENT_SOURCE = "#version 120\n"
                                    "void main()\n"
                                    "{\n"
                                    "    gl_FragColor = gl_Color;\n"
                                    "}\n";

GLint integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

// Whether any fixed-function texture target is on, on any unit.
bool texturing_on()
{
    const GLint active = integer(GL_ACTIVE_TEXTURE_ARB);
    const GLint units = integer(GL_MAX_TEXTURE_UNITS_ARB);
    bool on = false;
    for (GLint unit = 0; unit < units && !on; ++unit) {
        glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit));
        for (GLenum target : {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_CUBE_MAP, GL_TEXTURE_RECTANGLE_ARB})
            on = on || glIsEnabled(target);
    }
    glActiveTextureARB(GLenum(active));
    return on;
}

} // namespace

cVertexFog::cVertexFog()
    : local_viewer_at(-1), separate_at(-1), normalize_at(-1), layers_at(-1), in_use(false),
      two_side_was_on(GL_FALSE)
{
}

bool cVertexFog::init()
{
    if (programs.pipeline)
        return true;
    if (!programs.make(VERTEX_SOURCE, FRAGMENT_SOURCE)) {
        std::cerr << "## ERROR: cVertexFog::init: the vertex fog program was refused, fog stays per pixel" << std::endl;
        return false;
    }
    local_viewer_at = glGetUniformLocation(programs.vertex, "local_viewer");
    separate_at = glGetUniformLocation(programs.vertex, "separate_specular");
    normalize_at = glGetUniformLocation(programs.vertex, "normalize_normal");
    layers_at = glGetUniformLocation(programs.vertex, "layers_in_s");
    return true;
}

bool cVertexFog::state_reproduced() const
{
    if (!programs.pipeline || integer(GL_CURRENT_PROGRAM) != 0 || integer(GL_PROGRAM_PIPELINE_BINDING) != 0)
        return false;
    if (!glIsEnabled(GL_LIGHTING) || !glIsEnabled(GL_LIGHT0) || !glIsEnabled(GL_FOG) ||
        !glIsEnabled(GL_COLOR_MATERIAL))
        return false;
    const GLint lights = integer(GL_MAX_LIGHTS);
    for (GLint light = 1; light < lights; ++light)
        if (glIsEnabled(GLenum(GL_LIGHT0 + light)))
            return false;
    const GLint planes = integer(GL_MAX_CLIP_PLANES);
    for (GLint plane = 0; plane < planes; ++plane)
        if (glIsEnabled(GLenum(GL_CLIP_PLANE0 + plane)))
            return false;
    GLfloat cutoff = 0.0f;
    glGetLightfv(GL_LIGHT0, GL_SPOT_CUTOFF, &cutoff);
    return cutoff == 180.0f && integer(GL_COLOR_MATERIAL_FACE) == GL_FRONT_AND_BACK &&
           integer(GL_COLOR_MATERIAL_PARAMETER) == GL_AMBIENT_AND_DIFFUSE && integer(GL_FOG_MODE) == GL_LINEAR &&
           integer(GL_FOG_COORDINATE_SOURCE) == GL_FRAGMENT_DEPTH && !texturing_on();
}

void cVertexFog::begin(eLayers layers)
{
    in_use = state_reproduced();
    if (!in_use)
        return;
    glProgramUniform1i(programs.vertex, local_viewer_at, integer(GL_LIGHT_MODEL_LOCAL_VIEWER) ? 1 : 0);
    glProgramUniform1i(programs.vertex, separate_at,
                       integer(GL_LIGHT_MODEL_COLOR_CONTROL) == GL_SEPARATE_SPECULAR_COLOR ? 1 : 0);
    glProgramUniform1i(programs.vertex, normalize_at,
                       glIsEnabled(GL_NORMALIZE) || glIsEnabled(GL_RESCALE_NORMAL) ? 1 : 0);
    glProgramUniform1i(programs.vertex, layers_at, layers == LAYERS_IN_S ? 1 : 0);
    two_side_was_on = glIsEnabled(GL_VERTEX_PROGRAM_TWO_SIDE);
    if (integer(GL_LIGHT_MODEL_TWO_SIDE))
        glEnable(GL_VERTEX_PROGRAM_TWO_SIDE);
    else
        glDisable(GL_VERTEX_PROGRAM_TWO_SIDE);
    glBindProgramPipeline(programs.pipeline);
}

void cVertexFog::end()
{
    if (!in_use)
        return;
    glBindProgramPipeline(0);
    if (two_side_was_on)
        glEnable(GL_VERTEX_PROGRAM_TWO_SIDE);
    else
        glDisable(GL_VERTEX_PROGRAM_TWO_SIDE);
    in_use = false;
}
