-- SPDX-License-Identifier: GPL-3.0-or-later
-- The demo world's sample script: rests when health runs low, finds the way to the inn, keeps the link alive.
-- Copy it into the world's scripts folder (scripts/127.0.0.1.4000/ in the program folder) and type /RELOAD.

-- Rest once health falls below a third of its maximum; stop thinking about it once mostly healed.
local resting = false

on("On GMCP Char.Vitals", function()
  local vitals = gmcp.Char.Vitals
  local hp, maxhp = vitals and tonumber(vitals.hp), vitals and tonumber(vitals.maxhp)
  if not hp or not maxhp or maxhp <= 0 then
    return
  end
  if not resting and hp < maxhp / 3 then
    resting = true
    echo(string.format("Health %d/%d: resting.", hp, maxhp))
    send("rest")
  elseif resting and hp >= maxhp * 0.9 then
    resting = false
  end
end)

-- /inn: the speed-walk path from here to the inn (/WHERE is the client's own).
local function FindInn()
  local rooms, why = map.find("Inn")
  if not rooms then
    return nil, why
  end
  for _, room in ipairs(rooms) do
    if room.name:match("Inn$") then
      return room
    end
  end
  return rooms[1], "no room called an inn on the map"
end

command("inn", function()
  local inn, why = FindInn()
  if not inn then
    echo("No inn found: " .. (why or "the map holds none"))
    return
  end
  local path, reason = map.path(inn.id)
  if path then
    echo("To " .. inn.name .. ": " .. (path == "" and "you are there" or path))
  else
    echo("No way to " .. inn.name .. ": " .. reason)
  end
end)

-- A blank line every minute, so that an idle connection is not dropped.
every(60, function()
  sendRaw("")
end)
