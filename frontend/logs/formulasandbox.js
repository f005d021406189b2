// Makes a formula engine safe to share between formulas. Evaluated once per
// engine, it gives a function that takes the global object, the runner of
// one formula and the longest text or array one built-in call may make.
//
// The built-in objects are frozen and their global names fixed, so a formula
// cannot change them for the next one; `sweep` removes the globals a formula
// created by assignment and reports false when something it cannot undo was
// done to the global object (the engine is then rebuilt). Built-ins that
// allocate a whole text or array in one call are capped first, because such
// a call does not look at the interruption until it is done. `show` turns a
// value into its text, or null when that is longer than the caller wants.
(function (global, run, maxBulk) {
    'use strict';
    var tooLongText = function () { return new RangeError('Invalid string length'); };
    var tooLongArray = function () { return new RangeError('Invalid array length'); };
    var setMethod = function (object, name, fn) {
        Object.defineProperty(object, name,
                              { value: fn, writable: true, enumerable: false, configurable: true });
    };
    var lengthOf = function (value) {
        if (value === null || (typeof value !== 'object' && typeof value !== 'function'))
            return 0;
        var n = Number(value.length);
        return n > 0 ? n : 0;
    };

    var S = String.prototype, A = Array.prototype;
    var repeat = S.repeat, padStart = S.padStart, padEnd = S.padEnd;
    var fill = A.fill, from = Array.from;
    setMethod(S, 'repeat', function (count) {
        if (Number(count) * String(this).length > maxBulk)
            throw tooLongText();
        return repeat.call(this, count);
    });
    setMethod(S, 'padStart', function (maxLength, filler) {
        if (Number(maxLength) > maxBulk)
            throw tooLongText();
        return padStart.call(this, maxLength, filler);
    });
    setMethod(S, 'padEnd', function (maxLength, filler) {
        if (Number(maxLength) > maxBulk)
            throw tooLongText();
        return padEnd.call(this, maxLength, filler);
    });
    setMethod(A, 'fill', function () {
        if (lengthOf(Object(this)) > maxBulk)
            throw tooLongArray();
        return fill.apply(this, arguments);
    });
    setMethod(Array, 'from', function (items) {
        if (lengthOf(items) > maxBulk)
            throw tooLongArray();
        return from.apply(this, arguments);
    });
    var joining = [];
    setMethod(A, 'join', function (separator) {
        var o = Object(this);
        if (joining.indexOf(o) >= 0)
            return '';
        var length = Math.floor(lengthOf(o));
        var sep = separator === undefined ? ',' : String(separator);
        if (length > 1 && (length - 1) * sep.length > maxBulk)
            throw tooLongText();
        var out = '';
        joining.push(o);
        try {
            for (var i = 0; i < length; ++i) {
                if (i > 0)
                    out += sep;
                var element = o[i];
                if (element !== undefined && element !== null)
                    out += String(element);
                if (out.length > maxBulk)
                    throw tooLongText();
            }
        } finally {
            joining.pop();
        }
        return out;
    });
    ['ArrayBuffer', 'SharedArrayBuffer', 'Int8Array', 'Uint8Array', 'Uint8ClampedArray',
     'Int16Array', 'Uint16Array', 'Int32Array', 'Uint32Array', 'Float32Array',
     'Float64Array'].forEach(function (name) {
        var ctor = global[name];
        if (typeof ctor !== 'function')
            return;
        var guarded = new Proxy(ctor, {
            construct: function (target, args, newTarget) {
                var size = args[0];
                if ((typeof size === 'number' && size > maxBulk) || lengthOf(size) > maxBulk)
                    throw tooLongArray();
                return Reflect.construct(target, args, newTarget);
            }
        });
        Object.defineProperty(ctor.prototype, 'constructor', { value: guarded });
        global[name] = guarded;
    });
    var typedArray = Object.getPrototypeOf(Int8Array.prototype).constructor;
    var typedFrom = typedArray.from;
    setMethod(typedArray, 'from', function (items) {
        if (lengthOf(items) > maxBulk)
            throw tooLongArray();
        return typedFrom.apply(this, arguments);
    });

    var seen = new Set();
    var deepFreeze = function (o) {
        if (o === null || (typeof o !== 'object' && typeof o !== 'function') || seen.has(o))
            return;
        seen.add(o);
        var keys = Reflect.ownKeys(o);
        for (var i = 0; i < keys.length; ++i) {
            var d = Reflect.getOwnPropertyDescriptor(o, keys[i]);
            if (!d)
                continue;
            if ('value' in d) {
                deepFreeze(d.value);
            } else {
                deepFreeze(d.get);
                deepFreeze(d.set);
            }
        }
        deepFreeze(Reflect.getPrototypeOf(o));
        Object.freeze(o);
    };
    var names = Reflect.ownKeys(global);
    for (var i = 0; i < names.length; ++i) {
        var d = Reflect.getOwnPropertyDescriptor(global, names[i]);
        if ('value' in d) {
            deepFreeze(d.value);
            Object.defineProperty(global, names[i], { writable: false, configurable: false });
        } else {
            deepFreeze(d.get);
            deepFreeze(d.set);
            Object.defineProperty(global, names[i], { configurable: false });
        }
    }
    deepFreeze(Reflect.getPrototypeOf(global));
    deepFreeze(run);

    var known = new Set(names);
    var count = names.length;
    var globalProto = Reflect.getPrototypeOf(global);
    var sweep = function () {
        if (Reflect.getPrototypeOf(global) !== globalProto || !Reflect.isExtensible(global))
            return false;
        var now = Reflect.ownKeys(global);
        if (now.length === count)
            return true;
        for (var i = 0; i < now.length; ++i) {
            if (!known.has(now[i]) && !Reflect.deleteProperty(global, now[i]))
                return false;
        }
        return true;
    };
    var show = function (value, max) {
        var text = String(value);
        return text.length > max ? null : text;
    };
    return [Object.freeze(sweep), Object.freeze(show)];
})
