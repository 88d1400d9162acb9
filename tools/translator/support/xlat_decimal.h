// Decimal adjusts (DAA, DAS, AAA, AAS) and SALC, as the P6 executes them.
// Included by xlat_ops.h after the flag helpers. The adjusts are the only
// readers of AF besides LAHF and PUSHF; the flags the processor leaves
// undefined are left as they were.
#pragma once

XI bool x_af(const XFlags& f) { return (f.af & X_FLAG_AF) != 0; }

// DAA: AL after an 8-bit ADD of two packed decimal bytes; CF and AF the
// decimal carries, SF, ZF and PF from the result.
XI u32 x_daa(XFlags& f, u32 al) {
  const u32 old = al;
  const bool low = (al & 0xF) > 9 || x_af(f);
  if (low) al += 6;
  f.af = low ? X_FLAG_AF : 0;
  const bool high = old > 0x99 || f.cf;
  if (high) al += 0x60;
  f.cf = high;
  al &= 0xFF;
  x_szp<8>(f, al);
  return al;
}

// DAS: the same after an 8-bit SUB; a borrow out of the low adjust keeps CF.
XI u32 x_das(XFlags& f, u32 al) {
  const u32 old = al;
  const u32 old_cf = f.cf;
  const bool low = (al & 0xF) > 9 || x_af(f);
  u32 cf = 0;
  if (low) {
    cf = old_cf | (al < 6);
    al -= 6;
  }
  f.af = low ? X_FLAG_AF : 0;
  if (old > 0x99 || old_cf) {
    al -= 0x60;
    cf = 1;
  }
  f.cf = cf;
  al &= 0xFF;
  x_szp<8>(f, al);
  return al;
}

// AAA and AAS: AX after an addition or subtraction of unpacked decimal
// digits in AL; AH takes the decimal carry or borrow, AL keeps the digit.
XI u32 x_aaa(XFlags& f, u32 ax) {
  const bool adjust = (ax & 0xF) > 9 || x_af(f);
  if (adjust) ax += 0x106;
  f.af = adjust ? X_FLAG_AF : 0;
  f.cf = adjust;
  return (ax & 0xFF00) | (ax & 0xF);
}
XI u32 x_aas(XFlags& f, u32 ax) {
  const bool adjust = (ax & 0xF) > 9 || x_af(f);
  if (adjust) ax = ((ax & 0xFFFF) - 6 - 0x100) & 0xFFFF;
  f.af = adjust ? X_FLAG_AF : 0;
  f.cf = adjust;
  return (ax & 0xFF00) | (ax & 0xF);
}

// SALC: AL = 0xFF when CF is set, else 0; no flag changes.
XI u32 x_salc(const XFlags& f) { return f.cf ? 0xFFu : 0u; }
