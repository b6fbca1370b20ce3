// SPDX-License-Identifier: MIT
// Runs in every new heap before any other code: gives the ES5 engine JScript's results where
// the two differ for what our scripts use.
(function (global) {
    var es5ParseInt = global.parseInt;
    var es5Number = global.Number;
    var leadingBlanks = /^[\t\n\v\f\r \u00a0\u1680\u2000-\u200a\u2028\u2029\u202f\u205f\u3000\ufeff]*/;

    // JScript reads a leading "0" as octal when no radix is given ("012" is 10, "08" is 0);
    // ES5 reads it as decimal.
    function parseInt(string, radix) {
        var text = String(string);
        // Text that starts with a digit from 1 to 9 reads the same either way; the engine's
        // regular expressions cost more than the whole call, and links reach here by thousands.
        var first = text.charCodeAt(0);
        if (radix === undefined && first > 48 && first < 58) {
            return es5ParseInt(text, 10);
        }
        var r = radix === undefined ? 0 : (radix | 0);
        if (r === 0) {
            var body = text.replace(leadingBlanks, "");
            var digits = body.charAt(0) === "+" || body.charAt(0) === "-" ? body.substring(1) : body;
            if (/^0[xX]/.test(digits)) {
                return es5ParseInt(text, 16);
            }
            if (digits.charAt(0) === "0") {
                return es5ParseInt(text, 8);
            }
            return es5ParseInt(text, 10);
        }
        return es5ParseInt(text, radix);
    }

    // The engine also reads the later "0o", "0b" and signed "0x" forms as numbers; JScript
    // gives NaN for them.
    function toNumber(value) {
        if (typeof value === "string") {
            var first = value.charCodeAt(0);
            if (first > 48 && first < 58) {
                return es5Number(value);
            }
            var body = value.replace(leadingBlanks, "");
            if (/^0[oObB]/.test(body) || /^[+-]0[xX]/.test(body)) {
                return NaN;
            }
        }
        return es5Number(value);
    }

    function Number(value) {
        var n = arguments.length === 0 ? 0 : toNumber(value);
        if (this instanceof Number) {
            return new es5Number(n);
        }
        return n;
    }
    var statics = ["MAX_VALUE", "MIN_VALUE", "NaN", "NEGATIVE_INFINITY", "POSITIVE_INFINITY",
                   "EPSILON", "MAX_SAFE_INTEGER", "MIN_SAFE_INTEGER", "isFinite", "isInteger",
                   "isNaN", "isSafeInteger", "parseFloat"];
    for (var i = 0; i < statics.length; i++) {
        if (statics[i] in es5Number) {
            Object.defineProperty(Number, statics[i], {value: es5Number[statics[i]]});
        }
    }
    Object.defineProperty(Number, "prototype", {value: es5Number.prototype, writable: false});
    Object.defineProperty(es5Number.prototype, "constructor",
                          {value: Number, writable: true, configurable: true});
    Number.parseInt = parseInt;

    Object.defineProperty(global, "parseInt", {value: parseInt, writable: true, configurable: true});
    Object.defineProperty(global, "Number", {value: Number, writable: true, configurable: true});
})(this);
