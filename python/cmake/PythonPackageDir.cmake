# pandry_python_package_dir(PREFIX VERSION OUT): the folder, relative to PREFIX, where Python
# VERSION (3.X) looks for packages as Debian's interpreter does: lib/python3/dist-packages for
# the system's /usr, lib/python3.X/dist-packages under /usr/local, and lib/python3.X/site-packages
# under any other prefix (the user's ~/.local, a virtual environment, a folder put on
# PYTHONPATH). Run at install time, so that "cmake --install build --prefix P" follows P.
function(pandry_python_package_dir prefix version out)
    get_filename_component(prefix "${prefix}" ABSOLUTE)
    if(prefix STREQUAL "/usr")
        set(dir "lib/python3/dist-packages")
    elseif(prefix STREQUAL "/usr/local")
        set(dir "lib/python${version}/dist-packages")
    else()
        set(dir "lib/python${version}/site-packages")
    endif()
    set(${out} "${dir}" PARENT_SCOPE)
endfunction()
