// SPDX-License-Identifier: MIT
// Rewrites music links to the mirror host. The host names below are filled in when the
// program is built.

function getStreamID(url) {
    var host = url.split("/")[2];
    var id = host.split("m")[1];
    if (id) {
        return id;
    }
    return 0;
}

function getHiURL(url) {
    if (url.indexOf("@MARROWTUNE_MUSIC_CDN_HOST_SUFFIX@") == -1) {
        return url;
    }
    var id = Number(getExactQusicID(url));
    if (id > 0 && id < 30000000) {
        if (id > 12000000) {
            id = id - 12000000;
        }
        id = id + 30000000;
    }
    var stream = parseInt(getStreamID(url));
    if (stream < 11) {
        stream = stream + 10;
    }
    return "http://@MARROWTUNE_MIRROR_HOST@/mp3/" + stream + "/" + id + ".mp3";
}

function getExactQusicID(url) {
    var pieces = url.split("/");
    var id = pieces[pieces.length - 1].split(".")[0];
    if (id) {
        return id;
    }
    return 0;
}

function thURL(url) {
    var link = url.replace("@MARROWTUNE_STREAM_REDIRECT_HOST@", "@MARROWTUNE_MIRROR_HOST@/up");
    if (link.indexOf(".@MARROWTUNE_MUSIC_CDN_HOST_SUFFIX@/") > 1) {
        return getHiURL(link);
    }
    return link;
}
