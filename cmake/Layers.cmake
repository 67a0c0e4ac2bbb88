# The compiler's half of the layer rules: each folder's targets see, on their include path, only
# the folders docs/layers.txt lets them reach (directly or through the folders they use, whose
# headers they compile), so an include of any other folder does not compile. The folders are
# put together as links in a view of the source tree per folder, under the build tree. The
# layers test checks the exact edges and the include forms the compiler cannot see ("../").

file(STRINGS ${PROJECT_SOURCE_DIR}/docs/layers.txt pandry_layer_lines REGEX "^[a-z/]+:")
set(PANDRY_LAYER_FOLDERS "")
foreach(line ${pandry_layer_lines})
    string(REGEX MATCH "^([a-z/]+):(.*)$" _ "${line}")
    set(folder ${CMAKE_MATCH_1})
    string(REGEX REPLACE "[ \t]+" ";" uses "${CMAKE_MATCH_2}")
    list(REMOVE_ITEM uses "" Qt)
    list(APPEND PANDRY_LAYER_FOLDERS ${folder})
    set(PANDRY_LAYER_USES_${folder} ${uses})
endforeach()

# The folders FOLDER reaches, itself included, into the variable named by OUT.
function(pandry_layer_reach folder out)
    set(reached ${folder})
    set(pending ${folder})
    while(pending)
        list(POP_FRONT pending current)
        foreach(used ${PANDRY_LAYER_USES_${current}})
            if(NOT used IN_LIST reached)
                list(APPEND reached ${used})
                list(APPEND pending ${used})
            endif()
        endforeach()
    endwhile()
    set(${out} ${reached} PARENT_SCOPE)
endfunction()

# The include folder of FOLDER's view, made on first use.
function(pandry_layer_view folder out)
    if(NOT folder IN_LIST PANDRY_LAYER_FOLDERS)
        message(FATAL_ERROR "${folder} is not listed in docs/layers.txt")
    endif()
    string(REPLACE "/" "_" name ${folder})
    set(view ${CMAKE_BINARY_DIR}/layers/${name})
    pandry_layer_reach(${folder} reached)
    foreach(used ${reached})
        get_filename_component(parent ${view}/${used} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        if(NOT IS_SYMLINK ${view}/${used})
            file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${used} ${view}/${used} SYMBOLIC)
        endif()
    endforeach()
    set(${out} ${view} PARENT_SCOPE)
endfunction()

# Gives each TARGET the include path of FOLDER's view.
function(pandry_layer folder)
    pandry_layer_view(${folder} view)
    foreach(target ${ARGN})
        target_include_directories(${target} PRIVATE ${view})
    endforeach()
endfunction()
